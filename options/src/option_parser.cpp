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
    Parser(const std::vector<OptionSpec>& specs, const ParseRules& rules) : m_specs(specs), m_rules(rules)
    {
        m_app.set_help_flag();
        m_app.allow_extras();
        for (const OptionSpec& spec : specs) {
            CLI::Option* option = spec.valueName.empty()
                ? m_app.add_flag(ParserName(spec.name))
                : m_app.add_option(ParserName(spec.name))->type_size(1)->take_all();
            m_specOf[option] = &spec;
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
            const OptionSpec* spec = Find(argument);
            tokens.push_back(spec ? ParserName(spec->name) : argument);
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

    const OptionSpec* Find(const std::string& name) const
    {
        for (const OptionSpec& spec : m_specs) {
            if (spec.name == name)
                return &spec;
        }
        return nullptr;
    }

    // What CLI11 would say in its own words, said in ours.
    void CheckValue(const std::string& argument, bool last) const
    {
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            const OptionSpec* spec = Find(argument.substr(0, equals));
            if (spec && spec->valueName.empty())
                Refuse(spec->name + " takes no value");
            if (spec && equals + 1 == argument.size())
                Refuse(spec->name + " needs a value (" + spec->valueName + ")");
            return;
        }
        const OptionSpec* spec = Find(argument);
        if (spec && !spec->valueName.empty() && last)
            Refuse(spec->name + " needs a value (" + spec->valueName + ")");
    }

    void CollectOptions(ParsedArguments* parsed) const
    {
        std::map<const CLI::Option*, std::size_t> taken;
        for (const CLI::Option* option : m_app.parse_order()) {
            const OptionSpec& spec = *m_specOf.at(option);
            const std::size_t index = taken[option]++;
            if (m_rules.eachOnce && index > 0)
                Refuse(spec.name + " is given more than once");
            const std::vector<std::string>& results = option->results();
            const bool hasValue = !spec.valueName.empty() && index < results.size();
            parsed->options.push_back({spec.name, hasValue ? results[index] : std::string()});
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

    const std::vector<OptionSpec>& m_specs;
    const ParseRules& m_rules;
    CLI::App m_app;
    std::map<const CLI::Option*, const OptionSpec*> m_specOf;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<OptionSpec>& specs, const std::vector<std::string>& arguments,
                               const ParseRules& rules)
{
    return Parser(specs, rules).Parse(arguments);
}

}  // namespace dentora::options
