#pragma once
// --help-all lists each command as "NAME:", its description, then its
// arguments, one a line, without group headings: the layout help2man turns
// into one subsection a command, so the manual page lists every argument.
#include <CLI/CLI.hpp>
#include <string>

class HelpAllFormatter : public CLI::Formatter {
public:
    std::string make_expanded(const CLI::App* sub) const override;
};
