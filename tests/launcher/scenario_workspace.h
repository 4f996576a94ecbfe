// The directories a launcher scenario runs in, and the check of what it
// did against what the scenario expects.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "launch_scenarios.h"
#include "text_types.h"

// A box as the launcher showed it.
struct ObservedBox {
    platform::BoxKind kind;
    WideString title;
    WideString text;
};

// A fresh temporary root holding work/ (the scenario's files, the
// launcher's starting directory), launcher/ (the recording libraries the
// scenario names, and a copy of the program when asked) and calls.log.
// Removed again on destruction.
class ScenarioWorkspace {
public:
    ScenarioWorkspace(const Scenario& scenario, bool with_program);
    ~ScenarioWorkspace();
    ScenarioWorkspace(const ScenarioWorkspace&) = delete;
    ScenarioWorkspace& operator=(const ScenarioWorkspace&) = delete;

    std::filesystem::path root;
    std::filesystem::path work;
    std::filesystem::path launcher;  // directory
    std::filesystem::path program;   // launcher/tsuchi(.exe)
    std::filesystem::path log;

    // Absolute platform form of the work directory and of a path in it.
    WideString work_full() const;
    WideString full(const std::string& relative) const;
    // The launcher directory with its trailing separator, as dispatch wants.
    WideString library_directory() const;
    // A scenario text with its "{full:REL}" placeholders filled in.
    WideString expand(const std::string& text) const;

    // Writes a shortcut file (name, in the work directory) whose target is
    // the absolute path of target_relative, or garbage when that is empty.
    void make_shortcut(const std::string& name, const std::string& target_relative) const;
};

// The library file names beside the launcher on this platform.
std::string lzh_library_file();
std::string zip_library_file();

std::filesystem::path path_from_utf8(const std::string& text);
WideString wide_from_path(const std::filesystem::path& path);

// Expects exactly the scenario's boxes and library calls (gtest failures).
void check_outcome(const Scenario& scenario, const ScenarioWorkspace& workspace, const std::vector<ObservedBox>& boxes);
