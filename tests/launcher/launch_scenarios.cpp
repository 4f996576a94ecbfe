// The scenario table: the mode decision, creation and extraction, the
// destination directory, dispatch and load failures, seen from outside.
#include "launch_scenarios.h"

namespace {

using platform::BoxKind;

// The texts as the user sees them; typed out here independently of the
// launcher's sources so that a changed character shows up.
const std::string WORK = "作業確認!?";
const std::string FORMAT_QUESTION = "LZH 形式で圧縮？、[いいえ]なら ZIP";
const std::string EXTRACT_QUESTION = "圧縮ファイルを解凍(展開)するのか？";
const std::string CREATE_WITH_ARCHIVES =
    "拡張子が、圧縮ファイルであるものを含んでいるが、「 圧縮 」するのか？\n  [いいえ] で、中止(キャンセル)。";
const std::string NOT_FILES = "幾つかはファイルではない ので除いたが、続行？";
const std::string NON_ARCHIVES = "圧縮ファイルでない拡張子のファイルなども含むが、続行？";
const std::string OTHER_ARCHIVES = "対象外の圧縮ファイル拡張子のファイルを含むが、続行？";
const std::string EXTRACT_WORK = "圧縮 - 作業確認!?";
const std::string NEW_DIRECTORY = "実行の確認!?";
const std::string STOPPED = "中止!";
const std::string UTF8_FLAGS = "0x00000008";

ExpectedBox format_question(char answer) { return {BoxKind::yes_no_cancel, WORK, FORMAT_QUESTION, answer}; }

ExpectedBox extract_question(char answer) { return {BoxKind::yes_no_cancel, WORK, EXTRACT_QUESTION, answer}; }

ExpectedBox other_question(const std::string& extensions, char answer) {
    return {BoxKind::yes_no_cancel, WORK,
            "対象外の圧縮ファイル " + extensions + "を含んでいるが、\n解凍(展開)として続行？  --- 圧縮なら [NO] を。",
            answer};
}

ExpectedBox load_failure() { return {BoxKind::ok, "エラー", "DLLのロードに失敗。", 'o'}; }

ExpectedBox new_directory(const std::string& relative, char answer) {
    return {BoxKind::yes_no, NEW_DIRECTORY, "新しいディレクトリ: {full:" + relative + "}\n  を作成し、展開先とする？",
            answer};
}

ExpectedBox creation_failed(const std::string& shown) {
    return {BoxKind::ok, STOPPED, "指定された展開先ディレクトリ: \n  " + shown + "\n    の作成に失敗した。", 'o'};
}

ExpectedCall decode(const std::string& name, std::vector<std::string> paths, std::string cwd = "") {
    return {name, std::move(paths), std::nullopt, std::move(cwd), {}};
}

ExpectedCall encode(const std::string& name, std::vector<std::string> paths,
                    std::optional<std::string> archive = std::nullopt,
                    std::vector<std::pair<std::string, std::string>> fields = {}) {
    return {name, std::move(paths), std::move(archive), "", std::move(fields)};
}

// A name longer than any path buffer.
const std::string LONG_NAME = std::string(1500, 'n') + ".txt";
const std::string LONG_DESTINATION = std::string(1500, 'd');

std::vector<Scenario> build_scenarios() {
    return {
        // ---- no archive among the arguments: creation ----------------------
        {"plain files, format question yes, LZH",
         {"a.txt", "docs/", "docs/x.txt"},
         {"a.txt", "docs"},
         {format_question('y')},
         {encode("LZHEncode", {"a.txt", "docs"})}},
        {"plain files, format question no, ZIP with UTF-8 names",
         {"a.txt", "docs/"},
         {"a.txt", "docs"},
         {format_question('n')},
         {encode("ZIPEncode", {"a.txt", "docs"}, std::nullopt, {{"flags", UTF8_FLAGS}})}},
        {"plain files, format question cancelled", {"a.txt"}, {"a.txt"}, {format_question('c')}, {}},
        {"format switch skips the question", {"a.txt"}, {"/z", "a.txt"}, {}, {encode("ZIPEncode", {"a.txt"})}},
        {"missing zip argument names the archive and its format",
         {"メモ.txt"},
         {"メモ.txt", "新しい.zip"},
         {},
         {encode("ZIPEncode", {"メモ.txt"}, "新しい.zip", {{"flags", UTF8_FLAGS}})}},
        {"format switch wins over the new archive's extension",
         {"a.txt"},
         {"/zip", "a.txt", "out.lzh"},
         {},
         {encode("ZIPEncode", {"a.txt"}, "out.lzh")}},
        {"only the first missing archive name counts",
         {"a.txt"},
         {"a.txt", "first.lzh", "second.zip", "missing.txt"},
         {},
         {encode("LZHEncode", {"a.txt"}, "first.lzh")}},
        {"a folder named like an archive is no archive",
         {"pack.zip/", "pack.zip/a.txt"},
         {"pack.zip"},
         {format_question('y')},
         {encode("LZHEncode", {"pack.zip"})}},
        {"creation switch keeps the format question despite a new archive name",
         {"a.txt"},
         {"/c", "a.txt", "out.zip"},
         {format_question('y')},
         {encode("LZHEncode", {"a.txt"}, "out.zip")}},
        {"creation with explicit UTF-8 and the LZH separator rule",
         {"a.txt"},
         {"/8", "/lzh", "a.txt"},
         {},
         {encode("LZHEncode", {"a.txt"}, std::nullopt, {{"flags", "0x00000108"}})}},
        {"creation of ZIP with a code page adds no encoding",
         {"a.txt"},
         {"/Z", "/CP:932", "a.txt"},
         {},
         {encode("ZIPEncode", {"a.txt"}, std::nullopt, {{"flags", "0x00008000"}, {"code_page", "932"}})}},

        // ---- archives of other programs -------------------------------------
        {"other archive alone, extract: both libraries with empty lists",
         {"x.cab"},
         {"x.cab"},
         {other_question("cab, ", 'y')},
         {decode("LZHDecode", {}), decode("ZIPDecode", {})}},
        {"other archive alone, no: created",
         {"x.cab"},
         {"x.cab"},
         {other_question("cab, ", 'n'), format_question('y')},
         {encode("LZHEncode", {"x.cab"})}},
        {"other archive alone, cancelled", {"x.cab"}, {"x.cab"}, {other_question("cab, ", 'c')}, {}},
        {"other archive extensions listed as typed",
         {"a.lzh", "b.TGZ", "c.tar"},
         {"a.lzh", "b.TGZ", "c.tar"},
         {other_question("TGZ, tar, ", 'y')},
         {decode("LZHDecode", {"a.lzh"}), decode("ZIPDecode", {})}},

        // ---- archives and other files mixed ----------------------------------
        {"archive and plain file, extract: plain file goes nowhere",
         {"a.lzh", "b.txt"},
         {"a.lzh", "b.txt"},
         {extract_question('y')},
         {decode("LZHDecode", {"a.lzh"}), decode("ZIPDecode", {})}},
        {"archive and plain file, no: both compressed",
         {"a.lzh", "b.txt"},
         {"a.lzh", "b.txt"},
         {extract_question('n'), format_question('n')},
         {encode("ZIPEncode", {"a.lzh", "b.txt"})}},
        {"archive and plain file, cancelled", {"a.lzh", "b.txt"}, {"a.lzh", "b.txt"}, {extract_question('c')}, {}},
        {"archive and folder, no: folder compressed too",
         {"a.zip", "docs/"},
         {"docs", "a.zip"},
         {extract_question('n'), format_question('y')},
         {encode("LZHEncode", {"docs", "a.zip"})}},

        // ---- archives only: extraction ---------------------------------------
        {"LZH and ZIP dropped together: each to its library, LZH first",
         {"b.zip", "資料.lzh", "c.zip"},
         {"b.zip", "資料.lzh", "c.zip"},
         {},
         {decode("LZHDecode", {"資料.lzh"}), decode("ZIPDecode", {"b.zip", "c.zip"})}},
        {"extensions differing in case share the ZIP library",
         {"A.ZIP", "b.zip"},
         {"A.ZIP", "b.zip"},
         {},
         {decode("ZIPDecode", {"A.ZIP", "b.zip"})}},
        {"LZH archives only", {"a.lzh", "b.LZH"}, {"a.lzh", "b.LZH"}, {}, {decode("LZHDecode", {"a.lzh", "b.LZH"})}},
        {"common kind of the files overrides a format switch",
         {"a.lzh"},
         {"/z", "a.lzh"},
         {},
         {decode("LZHDecode", {"a.lzh"})}},

        // ---- creation switch with archives -----------------------------------
        {"creation switch with an archive, yes",
         {"a.lzh", "b.txt"},
         {"/c", "a.lzh", "b.txt"},
         {{BoxKind::yes_no, WORK, CREATE_WITH_ARCHIVES, 'y'}, format_question('y')},
         {encode("LZHEncode", {"a.lzh", "b.txt"})}},
        {"creation switch with an archive, no",
         {"a.lzh"},
         {"-P", "a.lzh"},
         {{BoxKind::yes_no, WORK, CREATE_WITH_ARCHIVES, 'n'}},
         {}},

        // ---- extraction switch -----------------------------------------------
        {"extraction of a folder only",
         {"docs/"},
         {"/x", "docs"},
         {{BoxKind::ok, "使い方のエラー", "引数中にファイルなし。中止。", 'o'}},
         {}},
        {"extraction with a folder set aside, yes",
         {"docs/", "a.lzh"},
         {"-X", "docs", "a.lzh"},
         {{BoxKind::yes_no, WORK, NOT_FILES, 'y'}},
         {decode("LZHDecode", {"a.lzh"})}},
        {"extraction with a folder set aside, no",
         {"docs/", "a.lzh"},
         {"/u", "docs", "a.lzh"},
         {{BoxKind::yes_no, WORK, NOT_FILES, 'n'}},
         {}},
        {"extraction with a plain file, yes: mixed kinds go to both",
         {"a.lzh", "b.txt"},
         {"/x", "a.lzh", "b.txt"},
         {{BoxKind::yes_no, EXTRACT_WORK, NON_ARCHIVES, 'y'}},
         {decode("LZHDecode", {"a.lzh"}), decode("ZIPDecode", {})}},
        {"extraction with a plain file, no",
         {"a.lzh", "b.txt"},
         {"/x", "a.lzh", "b.txt"},
         {{BoxKind::yes_no, EXTRACT_WORK, NON_ARCHIVES, 'n'}},
         {}},
        {"extraction with a format switch and mixed kinds: one library gets all",
         {"a.lzh", "b.txt"},
         {"/d", "/l", "a.lzh", "b.txt"},
         {{BoxKind::yes_no, EXTRACT_WORK, NON_ARCHIVES, 'y'}},
         {decode("LZHDecode", {"a.lzh", "b.txt"})}},
        {"extraction with another program's archive, yes",
         {"a.lzh", "c.tgz"},
         {"/x", "a.lzh", "c.tgz"},
         {{BoxKind::yes_no, EXTRACT_WORK, OTHER_ARCHIVES, 'y'}},
         {decode("LZHDecode", {"a.lzh"}), decode("ZIPDecode", {})}},
        {"extraction with another program's archive, no",
         {"a.lzh", "c.tgz"},
         {"/x", "a.lzh", "c.tgz"},
         {{BoxKind::yes_no, EXTRACT_WORK, OTHER_ARCHIVES, 'n'}},
         {}},
        {"extraction with plain and other files: both questions",
         {"a.zip", "b.txt", "c.gz"},
         {"/x", "a.zip", "b.txt", "c.gz"},
         {{BoxKind::yes_no, EXTRACT_WORK, NON_ARCHIVES, 'y'}, {BoxKind::yes_no, EXTRACT_WORK, OTHER_ARCHIVES, 'y'}},
         {decode("LZHDecode", {}), decode("ZIPDecode", {"a.zip"})}},
        {"extraction of plain files only: both libraries with empty lists",
         {"b.txt"},
         {"/x", "b.txt"},
         {{BoxKind::yes_no, EXTRACT_WORK, NON_ARCHIVES, 'y'}},
         {decode("LZHDecode", {}), decode("ZIPDecode", {})}},

        // ---- argument confirmation and usage ---------------------------------
        {"argument confirmation, yes",
         {"a.txt", "b.txt"},
         {"/cnf", "a.txt", "/z", "b.txt"},
         {{BoxKind::yes_no, "引数の確認!?", "/cnf\na.txt /z\nb.txt\n  続行するか？、 [いいえ]で 中止。", 'y'}},
         {encode("ZIPEncode", {"a.txt", "b.txt"})}},
        {"argument confirmation, no",
         {"a.txt"},
         {"a.txt", "-cnf"},
         {{BoxKind::yes_no, "引数の確認!?", "a.txt -cnf\n  続行するか？、 [いいえ]で 中止。", 'n'}},
         {}},
        {"no existing argument",
         {},
         {"missing.txt", "/z"},
         {{BoxKind::ok, "使い方のエラー", "存在するファイルまたはディレクトリの指定がない。", 'o'}},
         {}},

        // ---- destination directory -------------------------------------------
        {"missing destination created with its parents",
         {"a.lzh"},
         {"/D:new/sub", "a.lzh"},
         {new_directory("new/sub", 'y')},
         {decode("LZHDecode", {"a.lzh"}, "new/sub")}},
        {"missing destination refused", {"a.lzh"}, {"/D:new/sub", "a.lzh"}, {new_directory("new/sub", 'n')}, {}},
        {"existing destination directory becomes current without a question",
         {"a.zip", "out/"},
         {"a.zip", "/x:out"},
         {},
         {decode("ZIPDecode", {"a.zip"}, "out")}},
        {"destination that is a file",
         {"a.lzh", "target.txt"},
         {"/D:target.txt", "a.lzh"},
         {{BoxKind::ok, STOPPED, "指定の展開先ディレクトリ:\n  {full:target.txt}\n    は、ファイル！", 'o'}},
         {}},
        {"destination below a file cannot be created",
         {"a.lzh", "f.txt"},
         {"/D:f.txt/sub", "a.lzh"},
         {new_directory("f.txt/sub", 'y'), creation_failed("{full:f.txt/sub}")},
         {}},
        {"destination in creation mode: archive made there",
         {"a.txt", "out/"},
         {"/D:out", "/c", "/zip", "a.txt"},
         {},
         {{"ZIPEncode", {"a.txt"}, std::nullopt, "out", {}}}},
        {"destination too long for a path buffer",
         {"a.lzh"},
         {"/D:" + LONG_DESTINATION, "a.lzh"},
         {creation_failed(LONG_DESTINATION)},
         {}},

        // ---- over-long arguments ---------------------------------------------
        {"argument too long for a path buffer is dropped",
         {"a.txt"},
         {"/z", LONG_NAME, "a.txt"},
         {},
         {encode("ZIPEncode", {"a.txt"})}},
        {"only an over-long argument",
         {},
         {LONG_NAME},
         {{BoxKind::ok, "使い方のエラー", "存在するファイルまたはディレクトリの指定がない。", 'o'}},
         {}},
        {"over-long switch values are dropped",
         {"a.lzh"},
         {"/LC:" + std::string(128, 'j'), "/CP:99999999999", "a.lzh"},
         {},
         {{"LZHDecode",
           {"a.lzh"},
           std::nullopt,
           "",
           {{"locale_name", ""}, {"locale_name_ref", "null"}, {"code_page", "2147483647"}}}}},

        // ---- the options record crosses the library boundary whole ------------
        {"every options field reaches the library",
         {"a.lzh"},
         {"/CP:932", "/LC:Japanese_Japan.932", "/dlg:50", "/rpt", "/bom", "/x", "a.lzh"},
         {},
         {{"LZHDecode",
           {"a.lzh"},
           std::nullopt,
           "",
           {{"flags", "0x00048140"},
            {"code_page", "932"},
            {"locale_name", "Japanese_Japan.932"},
            {"locale_name_ref", "self"},
            {"separator_char", "92"},
            {"max_name_length", "1024"},
            {"dialog_limit", "50"}}}}},

        // ---- library loading -------------------------------------------------
        {"LZH creation without kanna", {"a.txt"}, {"/l", "a.txt"}, {load_failure()}, {}, Libraries::nomi_only},
        {"ZIP creation without nomi", {"a.txt"}, {"/z", "a.txt"}, {load_failure()}, {}, Libraries::kanna_only},
        {"LZH extraction runs without nomi",
         {"a.lzh"},
         {"a.lzh"},
         {},
         {decode("LZHDecode", {"a.lzh"})},
         Libraries::kanna_only},
        {"ZIP extraction runs without kanna",
         {"a.zip"},
         {"a.zip"},
         {},
         {decode("ZIPDecode", {"a.zip"})},
         Libraries::nomi_only},
        {"extracting both kinds without nomi calls neither",
         {"a.lzh", "b.zip"},
         {"a.lzh", "b.zip"},
         {load_failure()},
         {},
         Libraries::kanna_only},
        {"extracting both kinds without kanna calls neither",
         {"a.lzh", "b.zip"},
         {"a.lzh", "b.zip"},
         {load_failure()},
         {},
         Libraries::nomi_only},
        {"no library at all", {"a.zip"}, {"a.zip"}, {load_failure()}, {}, Libraries::none},
        {"library without the expected export counts as not loaded",
         {"a.lzh"},
         {"a.lzh"},
         {load_failure()},
         {},
         Libraries::kanna_without_exports},
        {"extracting both kinds with a library lacking its export calls neither",
         {"a.lzh", "b.zip"},
         {"a.lzh", "b.zip"},
         {load_failure()},
         {},
         Libraries::kanna_without_exports},

        // ---- report texts returned by a library --------------------------------
        {"returned report text is shown",
         {"a.zip"},
         {"a.zip"},
         {{BoxKind::ok, "報告", "ZIPDecode の報告", 'o'}},
         {decode("ZIPDecode", {"a.zip"})},
         Libraries::both,
         "text"},
        {"both reports shown in call order",
         {"a.lzh", "b.zip"},
         {"a.lzh", "b.zip"},
         {{BoxKind::ok, "報告", "LZHDecode の報告", 'o'}, {BoxKind::ok, "報告", "ZIPDecode の報告", 'o'}},
         {decode("LZHDecode", {"a.lzh"}), decode("ZIPDecode", {"b.zip"})},
         Libraries::both,
         "text"},
        {"empty report text shows nothing",
         {"a.txt"},
         {"/l", "a.txt"},
         {},
         {encode("LZHEncode", {"a.txt"})},
         Libraries::both,
         "empty"},
    };
}

}  // namespace

const std::vector<Scenario>& launch_scenarios() {
    static const std::vector<Scenario> scenarios = build_scenarios();
    return scenarios;
}

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

std::string scenario_test_name(const Scenario& scenario) {
    std::string name;
    bool gap = false;
    for (char c : scenario.name) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!word) {
            gap = !name.empty();
            continue;
        }
        if (gap) {
            name += '_';
            gap = false;
        }
        name += c;
    }
    return name;
}
