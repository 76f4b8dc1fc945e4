#include "help_all_formatter.h"

#include <vector>

std::string HelpAllFormatter::make_expanded(const CLI::App* sub) const {
    // Blank lines apart: help2man joins a paragraph's lines that follow without one.
    std::string text = "\n" + sub->get_name() + ":\n  " + sub->get_description() + "\n\n";
    const std::vector<const CLI::Option*> positionals =
        sub->get_options([](const CLI::Option* o) { return !o->get_group().empty() && o->get_positional(); });
    for (const CLI::Option* o : positionals) text += make_option(o, true);
    const std::vector<const CLI::Option*> options = sub->get_options([sub](const CLI::Option* o) {
        return !o->get_group().empty() && o->nonpositional() && o != sub->get_help_ptr() &&
               o != sub->get_help_all_ptr();
    });
    for (const CLI::Option* o : options) text += make_option(o, false);
    return text;
}
