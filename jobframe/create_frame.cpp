// The steps of the create frame that do not depend on the codec (see
// create_frame.h).
#include "create_frame.h"

#include "file_system.h"
#include "message_box.h"

void report_empty_file_list() { show_message(u"ファイル・リストの作成に失敗。", u"エラー"); }

bool confirm_archive_overwrite(const WideString& header, const WideString& archive_path) {
    // Anything under the name counts, a directory too, and so does a status
    // that cannot be read: only a clear absence is written without asking.
    if (path_exists(archive_path.c_str()) == 0) {
        return true;
    }
    return ask_yes_no(header + u"既に同名ファイルが存在するが、続行(上書き)するか？ ", u"上書き確認!?");
}
