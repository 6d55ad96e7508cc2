#include "options/option_parser.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <map>

namespace dentora::options {
namespace {

// CLI11 reads a one-letter name as a short option, which also takes
// "-oFILE" and "-o=FILE"; ours take their value only as the next argument,
// so CLI11 is given them under a long spelling.
std::string ParserName(const std::string& name)
{
    return name.size() == 2 ? "-" + name : name;
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

class Parser {
public:
    Parser(const std::vector<OptionForm>& forms, const ParseRules& rules) : m_forms(forms), m_rules(rules)
    {
        m_app.set_help_flag();
        m_app.allow_extras();
        for (const OptionForm& form : forms) {
            CLI::Option* option = form.valueName.empty()
                ? m_app.add_flag(ParserName(form.name))
                : m_app.add_option(ParserName(form.name))->type_size(1)->take_all();
            m_formOf[option] = &form;
        }
    }

    ParsedArguments Parse(const std::vector<std::string>& arguments)
    {
        ParsedArguments parsed;
        std::vector<std::string> tokens;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::string& argument = arguments[i];
            if (argument == "-h" || argument == "--help") {
                parsed.help = true;
                continue;
            }
            CheckValue(argument, i + 1 == arguments.size());
            const OptionForm* form = Find(argument);
            tokens.push_back(form ? ParserName(form->name) : argument);
        }
        // CLI11 parses a vector from its back.
        std::vector<std::string> reversed(tokens.rbegin(), tokens.rend());
        try {
            m_app.parse(reversed);
        } catch (const CLI::ParseError& error) {
            Refuse(error.what());
        }
        CollectOptions(&parsed);
        CollectPositionals(&parsed);
        return parsed;
    }

private:
    [[noreturn]] void Refuse(const std::string& message) const { throw UsageError(m_rules.context + message); }

    const OptionForm* Find(const std::string& name) const
    {
        for (const OptionForm& form : m_forms) {
            if (form.name == name)
                return &form;
        }
        return nullptr;
    }

    // What CLI11 would say in its own words, said in ours.
    void CheckValue(const std::string& argument, bool last) const
    {
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            const OptionForm* form = Find(argument.substr(0, equals));
            if (form && form->valueName.empty())
                Refuse(form->name + " takes no value");
            if (form && equals + 1 == argument.size())
                Refuse(form->name + " needs a value (" + form->valueName + ")");
            return;
        }
        const OptionForm* form = Find(argument);
        if (form && !form->valueName.empty() && last)
            Refuse(form->name + " needs a value (" + form->valueName + ")");
    }

    void CollectOptions(ParsedArguments* parsed) const
    {
        std::map<const CLI::Option*, std::size_t> taken;
        for (const CLI::Option* option : m_app.parse_order()) {
            const OptionForm& form = *m_formOf.at(option);
            const std::size_t index = taken[option]++;
            if (m_rules.eachOnce && index > 0)
                Refuse(form.name + " is given more than once");
            const std::vector<std::string>& results = option->results();
            const bool hasValue = !form.valueName.empty() && index < results.size();
            parsed->options.push_back({form.name, hasValue ? results[index] : std::string()});
        }
    }

    void CollectPositionals(ParsedArguments* parsed) const
    {
        for (const std::string& extra : m_app.remaining()) {
            if (extra.size() > 1 && extra[0] == '-' && !IsNumber(extra))
                Refuse("unknown option '" + extra + "'");
            if (parsed->positionals.size() == m_rules.mostPositionals)
                Refuse("unexpected argument '" + extra + "'");
            parsed->positionals.push_back(extra);
        }
    }

    const std::vector<OptionForm>& m_forms;
    const ParseRules& m_rules;
    CLI::App m_app;
    std::map<const CLI::Option*, const OptionForm*> m_formOf;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<OptionForm>& forms, const std::vector<std::string>& arguments,
                               const ParseRules& rules)
{
    return Parser(forms, rules).Parse(arguments);
}

}  // namespace dentora::options
