// The manual pages tarvex(1) and scribbon(1) in roff, written from the programs' option tables so
// that a page says what --help and README say, and from where an installation puts the files.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "driver/usage.h"

namespace tarvex::packaging {

// Full paths of an installation, as the pages name them.
struct InstalledPaths {
  std::string bin;          // the links tarvex and scribbon: /usr/bin
  std::string programs;     // the real programs and the engine, the program folder: /usr/lib/tarvex
  std::string docs;         // README.md and examples/: /usr/share/doc/tarvex
  std::string completions;  // /usr/share/bash-completion/completions
};

// What the heading line of a page shows.
struct PageHeading {
  std::string_view version;  // the project's version, as --version prints it
  std::string_view date;     // YYYY-MM-DD
};

// Scribbon's three options, written as tarvex's table is (Scribbon has no --help of its own).
std::span<const driver::OptionHelp> ScribbonOptionTable();

std::string TarvexManualPage(const InstalledPaths& paths, const PageHeading& heading);
std::string ScribbonManualPage(const InstalledPaths& paths, const PageHeading& heading);

}  // namespace tarvex::packaging
