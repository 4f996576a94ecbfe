// The launcher scenarios shared by the in-process runner (both platforms,
// boxes answered through the message-box handler) and the process runner
// (Linux, the real program with answers on standard input).
//
// A scenario lays out files in a fresh work directory, starts the launcher
// there with its arguments and, beside the launcher, the recording
// libraries it names. It then expects exactly the listed boxes, in order,
// each answered as given, and exactly the listed library calls.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"

// Which recording libraries lie beside the launcher. kanna_without_exports
// puts a copy of nomi under kanna's name: a library that loads but lacks
// the LZH exports.
enum class Libraries { both, kanna_only, nomi_only, none, kanna_without_exports };

struct ExpectedBox {
    platform::BoxKind kind;
    std::string title;
    // "{full:REL}" stands for the absolute path of REL in the work directory.
    std::string text;
    // 'y', 'n', 'c' for the questions; 'o' for an OK box.
    char answer;
};

struct ExpectedCall {
    std::string export_name;
    std::vector<std::string> paths;      // relative to the work directory
    std::optional<std::string> archive;  // Encode only; nullopt: null archive
    std::string cwd;                     // relative to the work directory
    // Further record fields that must hold ("flags", "0x00000008"), for
    // scenarios where they do not depend on the system's code page.
    std::vector<std::pair<std::string, std::string>> fields;
};

struct Scenario {
    std::string name;
    std::vector<std::string> files;      // "a.txt"; "dir/" makes a directory
    std::vector<std::string> arguments;  // after the program name
    std::vector<ExpectedBox> boxes;
    std::vector<ExpectedCall> calls;
    Libraries libraries = Libraries::both;
    std::string report_mode;  // "text", "empty" or none (null results)

    Scenario(std::string name, std::vector<std::string> files, std::vector<std::string> arguments,
             std::vector<ExpectedBox> boxes, std::vector<ExpectedCall> calls, Libraries libraries = Libraries::both,
             std::string report_mode = "")
        : name(std::move(name)), files(std::move(files)), arguments(std::move(arguments)), boxes(std::move(boxes)),
          calls(std::move(calls)), libraries(libraries), report_mode(std::move(report_mode)) {}
};

const std::vector<Scenario>& launch_scenarios();

// gtest prints a failing scenario by its name.
void PrintTo(const Scenario& scenario, std::ostream* out);

// The scenarios' names for gtest parameter naming (letters, digits, "_").
std::string scenario_test_name(const Scenario& scenario);
