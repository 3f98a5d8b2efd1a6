#include "cli/completion.h"

#include <algorithm>
#include <sstream>

#include <CLI/CLI.hpp>

namespace vandrel::cli {

namespace {

constexpr const char* kProgram = "vandrel1-cli";

// What the value of an option (or a positional) is, for completing it.
enum class ValueKind { None, Device, Port, File, Words };

struct OptionSpec {
    std::vector<std::string> names; // "-d", "--device"; empty for a positional
    std::string valueName;          // "NAME", "FILE"; empty for a flag
    std::string description;        // its first line
    ValueKind kind = ValueKind::None;
    std::vector<std::string> words; // ValueKind::Words: the values it takes
};

bool operator==(const OptionSpec& a, const OptionSpec& b) { return a.names == b.names; }

struct CommandSpec {
    std::string name, description;
    std::vector<OptionSpec> options, positionals;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

OptionSpec SpecOf(const CLI::Option& option) {
    OptionSpec spec;
    for (const std::string& s : option.get_snames())
        spec.names.push_back("-" + s);
    for (const std::string& l : option.get_lnames())
        spec.names.push_back("--" + l);
    spec.description = OneLine(option.get_description());
    if (spec.names.empty() || option.get_type_size() > 0) {
        // "AREAS:{program,config,data}": the name, then the values a check allows.
        const std::string type = option.get_type_name();
        spec.valueName = spec.names.empty() ? option.get_name() : type.substr(0, type.find(':'));
        const auto open = type.find(":{");
        if (open != std::string::npos && type.back() == '}') {
            std::stringstream values(type.substr(open + 2, type.size() - open - 3));
            for (std::string word; std::getline(values, word, ',');)
                spec.words.push_back(word);
        }
        const std::string& v = spec.valueName;
        spec.kind = !spec.words.empty()                              ? ValueKind::Words
                    : v == "NAME" || v == "DEVICE"                   ? ValueKind::Device
                    : v == "PORT"                                    ? ValueKind::Port
                    : v == "FILE" || v == "OUT"                      ? ValueKind::File
                                                                     : ValueKind::None;
    }
    return spec;
}

CommandSpec CommandOf(const CLI::App& app) {
    CommandSpec command{app.get_name(), FirstLine(app.get_description()), {}, {}};
    for (const CLI::Option* option : app.get_options()) {
        OptionSpec spec = SpecOf(*option);
        (spec.names.empty() ? command.positionals : command.options).push_back(std::move(spec));
    }
    return command;
}

// The visible commands (a hidden one has no group).
std::vector<CommandSpec> CommandsOf(const CLI::App& app) {
    std::vector<CommandSpec> commands;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
        commands.push_back(CommandOf(*sub));
    return commands;
}

std::string Join(const std::vector<std::string>& words, const std::string& separator) {
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : separator) + w;
    return text;
}

// The names of the options, but those of `except` (a command's --help is the program's).
std::vector<std::string> NamesOf(const std::vector<OptionSpec>& options, const std::vector<OptionSpec>& except = {}) {
    std::vector<std::string> names;
    for (const OptionSpec& o : options)
        if (std::find(except.begin(), except.end(), o) == except.end())
            names.insert(names.end(), o.names.begin(), o.names.end());
    return names;
}

bool TakesFiles(const CommandSpec& command) {
    return std::any_of(command.positionals.begin(), command.positionals.end(),
                       [](const OptionSpec& p) { return p.kind == ValueKind::File; });
}

// In single quotes for a shell.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The device and port names, asked of the program itself as it runs.
const char* const kListFunctions =
    "_vandrel1_cli_names() { vandrel1-cli \"$1\" --json 2>/dev/null | grep -o '\"name\":\"[^\"]*\"' | cut -d'\"' -f4; }\n";

std::string Bash(const CLI::App& app) {
    const CommandSpec top = CommandOf(app);
    const std::vector<CommandSpec> commands = CommandsOf(app);
    std::vector<std::string> commandNames;
    for (const CommandSpec& c : commands)
        commandNames.push_back(c.name);

    std::ostringstream s;
    s << "# bash completion for " << kProgram << "; made by `" << kProgram << " completion bash`.\n"
      << kListFunctions << "\n"
      << "_vandrel1_cli() {\n"
      << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command=\"\" i\n"
      << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "        case ${COMP_WORDS[i]} in\n"
      << "        " << Join(commandNames, "|") << ") command=${COMP_WORDS[i]}; break ;;\n"
      << "        esac\n"
      << "    done\n"
      << "    case $prev in\n";
    // Every option that takes a value, once.
    std::vector<std::string> done;
    std::vector<const OptionSpec*> valued;
    for (const OptionSpec& o : top.options)
        valued.push_back(&o);
    for (const CommandSpec& c : commands)
        for (const OptionSpec& o : c.options)
            valued.push_back(&o);
    for (const OptionSpec* o : valued) {
        if (o->valueName.empty() || std::find(done.begin(), done.end(), o->names.front()) != done.end())
            continue;
        done.push_back(o->names.front());
        s << "    " << Join(o->names, "|") << ")\n";
        switch (o->kind) {
        case ValueKind::Device:
            s << "        COMPREPLY=($(compgen -W \"$(_vandrel1_cli_names devices)\" -- \"$cur\")) ;;\n";
            break;
        case ValueKind::Port:
            s << "        COMPREPLY=($(compgen -W \"$(_vandrel1_cli_names ports) ftdi\" -- \"$cur\")) ;;\n";
            break;
        case ValueKind::File: s << "        compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"; break;
        case ValueKind::Words:
            // A comma-separated list: the words after the last comma.
            s << "        COMPREPLY=($(compgen -P \"${cur%\"${cur##*,}\"}\" -W \"" << Join(o->words, " ")
              << "\" -- \"${cur##*,}\")) ;;\n";
            break;
        case ValueKind::None: s << "        ;;\n"; break;
        }
    }
    s << "    *)\n"
      << "        local words=" << Quoted(Join(NamesOf(top.options), " ")) << " files=\"\"\n"
      << "        case $command in\n"
      << "        \"\") [[ $cur == -* ]] || words=" << Quoted(Join(commandNames, " ")) << " ;;\n";
    for (const CommandSpec& c : commands)
        s << "        " << c.name << ") words+=" << Quoted(" " + Join(NamesOf(c.options, top.options), " "))
          << (TakesFiles(c) ? "; files=1" : "") << " ;;\n";
    s << "        esac\n"
      << "        if [[ -n $files && $cur != -* ]]; then\n"
      << "            compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      << "        else\n"
      << "            COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
      << "        fi ;;\n"
      << "    esac\n"
      << "}\n"
      << "complete -F _vandrel1_cli " << kProgram << "\n";
    return s.str();
}

// A description inside the brackets of a zsh _arguments spec.
std::string ZshDescription(std::string text) {
    std::replace(text.begin(), text.end(), '[', '(');
    std::replace(text.begin(), text.end(), ']', ')');
    return text;
}

std::string ZshAction(const OptionSpec& o) {
    switch (o.kind) {
    case ValueKind::Device: return "_vandrel1_cli_list devices";
    case ValueKind::Port: return "_vandrel1_cli_list ports";
    case ValueKind::File: return "_files";
    case ValueKind::Words: return "_sequence compadd - " + Join(o.words, " ");
    case ValueKind::None: break;
    }
    return " ";
}

std::string ZshSpecs(const std::vector<OptionSpec>& options, const std::vector<OptionSpec>& positionals,
                     const std::vector<OptionSpec>& except = {}) {
    std::string specs;
    for (const OptionSpec& o : options) {
        if (std::find(except.begin(), except.end(), o) != except.end())
            continue;
        for (const std::string& name : o.names) {
            std::string spec = name + "[" + ZshDescription(o.description) + "]";
            if (!o.valueName.empty())
                spec += ":" + o.valueName + ":" + ZshAction(o);
            specs += " " + Quoted(spec);
        }
    }
    int index = 0;
    for (const OptionSpec& p : positionals)
        specs += " " + Quoted(std::to_string(++index) + ":" + p.valueName + ":" + ZshAction(p));
    return specs;
}

std::string Zsh(const CLI::App& app) {
    const CommandSpec top = CommandOf(app);
    std::ostringstream s;
    s << "#compdef " << kProgram << "\n"
      << "# zsh completion for " << kProgram << "; made by `" << kProgram << " completion zsh`.\n"
      << kListFunctions
      << "_vandrel1_cli_list() { local -a names; names=(${(f)\"$(_vandrel1_cli_names $1)\"}); "
         "compadd -a names; }\n\n"
      << "_vandrel1-cli() {\n"
      << "    local -a global commands\n"
      << "    global=(" << ZshSpecs(top.options, {}) << ")\n"
      << "    commands=(";
    for (const CommandSpec& c : CommandsOf(app))
        s << " " << Quoted(c.name + ":" + c.description);
    s << ")\n"
      << "    local curcontext=$curcontext state line\n"
      << "    _arguments -C $global '1:command:->command' '*::argument:->argument'\n"
      << "    case $state in\n"
      << "    command) _describe command commands ;;\n"
      << "    argument)\n"
      << "        case $line[1] in\n";
    for (const CommandSpec& c : CommandsOf(app))
        s << "        " << c.name << ") _arguments $global" << ZshSpecs(c.options, c.positionals, top.options)
          << " ;;\n";
    s << "        esac ;;\n"
      << "    esac\n"
      << "}\n\n"
      << "_vandrel1-cli \"$@\"\n";
    return s.str();
}

std::string FishOption(const OptionSpec& o, const std::string& condition) {
    std::string line = "complete -c " + std::string(kProgram);
    if (!condition.empty())
        line += " -n " + Quoted(condition);
    for (const std::string& name : o.names)
        line += name.rfind("--", 0) == 0 ? " -l " + name.substr(2) : " -s " + name.substr(1);
    switch (o.kind) {
    case ValueKind::Device: line += " -x -a '(__vandrel1_cli_names devices)'"; break;
    case ValueKind::Port: line += " -x -a '(__vandrel1_cli_names ports) ftdi'"; break;
    case ValueKind::File: line += " -r -F"; break;
    case ValueKind::Words: line += " -x -a " + Quoted(Join(o.words, " ")); break;
    case ValueKind::None:
        if (!o.valueName.empty())
            line += " -x";
        break;
    }
    return line + " -d " + Quoted(o.description) + "\n";
}

std::string Fish(const CLI::App& app) {
    const CommandSpec top = CommandOf(app);
    const std::vector<CommandSpec> commands = CommandsOf(app);
    std::vector<std::string> names;
    for (const CommandSpec& c : commands)
        names.push_back(c.name);
    const std::string none = "not __fish_seen_subcommand_from " + Join(names, " ");

    std::ostringstream s;
    s << "# fish completion for " << kProgram << "; made by `" << kProgram << " completion fish`.\n"
      << "function __vandrel1_cli_names\n"
      << "    vandrel1-cli $argv[1] --json 2>/dev/null | string match -ra '\"name\":\"[^\"]*\"' | "
         "string replace -r '\"name\":\"([^\"]*)\"' '$1'\n"
      << "end\n"
      << "complete -c " << kProgram << " -f\n";
    for (const CommandSpec& c : commands)
        s << "complete -c " << kProgram << " -n " << Quoted(none) << " -a " << c.name << " -d "
          << Quoted(c.description) << "\n";
    for (const OptionSpec& o : top.options)
        s << FishOption(o, "");
    for (const CommandSpec& c : commands) {
        const std::string in = "__fish_seen_subcommand_from " + c.name;
        for (const OptionSpec& o : c.options)
            if (std::find(top.options.begin(), top.options.end(), o) == top.options.end())
                s << FishOption(o, in);
        if (TakesFiles(c))
            s << "complete -c " << kProgram << " -n " << Quoted(in) << " -F\n";
    }
    return s.str();
}

// Text for a roff line: hyphens as minus signs, backslashes escaped, no
// request at the start.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string H2m(const CLI::App& app) {
    std::ostringstream s;
    s << "[COMMANDS]\n"
      << ".\\\" Made by `" << kProgram << " completion h2m` from the program's own definitions.\n"
      << "Each command also takes the options above, and\n.BR \\-\\-help .\n";
    for (const CommandSpec& c : CommandsOf(app)) {
        s << ".TP\n\\fB" << Roff(c.name) << "\\fR";
        for (const OptionSpec& p : c.positionals)
            s << " \\fI" << Roff(p.valueName) << "\\fR";
        s << "\n" << Roff(c.description) << "\n";
        bool any = false;
        for (const OptionSpec& o : c.options) {
            if (std::find(o.names.begin(), o.names.end(), "--help") != o.names.end())
                continue;
            s << (any ? "" : ".RS\n") << ".TP\n";
            any = true;
            std::vector<std::string> names;
            for (const std::string& name : o.names)
                names.push_back("\\fB" + Roff(name) + "\\fR");
            s << Join(names, ", ");
            if (!o.valueName.empty())
                s << " \\fI" << Roff(o.valueName) << "\\fR";
            s << "\n" << Roff(o.description) << "\n";
        }
        if (any)
            s << ".RE\n";
    }
    return s.str();
}

} // namespace

std::vector<std::string> CompletionShells() { return {"bash", "zsh", "fish", "h2m"}; }

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
    if (shell == "bash")
        return Bash(app);
    if (shell == "zsh")
        return Zsh(app);
    if (shell == "fish")
        return Fish(app);
    return H2m(app);
}

} // namespace vandrel::cli
