// qvtool lang: reads the language file and the translation file as the wizard does, for the
// people who maintain them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

namespace {

const char kUsage[] =
    "usage: qvtool lang [--root BINDIR] --id ID --lang CODE\n"
    "       qvtool lang [--root BINDIR] --list\n";

bool Readable(const std::string& path) {
    int fd = open(platform::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

// Columns on a terminal: the characters shown, not the bytes ("ç" is two bytes, one column).
size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (wchar_t c : Widen(text)) {
        const int w = wcwidth(c);
        width += w < 0 ? 1 : static_cast<size_t>(w);
    }
    return width;
}

std::string PadTo(const std::string& text, size_t width) {
    const size_t shown = DisplayWidth(text);
    return shown >= width ? text : text + std::string(width - shown, ' ');
}

int Translate(const std::string& id, const std::string& code) {
    if (!Readable(kTranslationFile)) {
        std::fprintf(stderr, "qvtool lang: cannot read %s\n",
                     platform::NativePath(kTranslationFile).c_str());
        return kStatusUsage;
    }
    ZFQTranslator translator;
    // Keep standard output for the text itself.
    translator.SetWarningStream(stderr);
    if (translator.LoadLanguage(code.c_str()) < 0) {
        std::fprintf(stderr, "qvtool lang: cannot load language \"%s\" from %s\n", code.c_str(),
                     platform::NativePath(kTranslationFile).c_str());
        return kStatusUsage;
    }
    std::wstring text = translator.GetTraduction(id.c_str());
    if (text.empty())
        return 1;
    std::printf("%s\n", Narrow(text).c_str());
    return 0;
}

int List() {
    std::string file = LanguageFilePath();
    if (!Readable(file)) {
        std::fprintf(stderr, "qvtool lang: cannot read %s\n", platform::NativePath(file).c_str());
        return kStatusUsage;
    }
    int count = LanguageCount();
    std::vector<std::vector<std::string>> rows = {
        {"index", "code", "label", "fallback", "resolved"}};
    for (int n = 0; n < count; ++n) {
        std::string resolved = ResolvedLanguageCode(n);
        if (ResolveLanguageFallback(n) < 0)
            resolved = "(unresolved)";
        rows.push_back({std::to_string(n), OrDash(LanguageCode(n)),
                        OrDash(Narrow(LanguageLabel(n))), OrDash(LanguageFallback(n)),
                        OrDash(resolved)});
    }
    // At least the widths of the usual entries, so that the table keeps its look; a longer
    // label widens its column instead of pushing the rest of its row.
    std::vector<size_t> widths = {5, 4, 24, 8};
    for (const auto& row : rows)
        for (size_t c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < widths.size(); ++c)
            line += PadTo(row[c], widths[c]) + " ";
        std::printf("%s%s\n", line.c_str(), row.back().c_str());
    }
    std::printf("%d languages, default index %d\n", count, DefaultLanguageIndex());
    return 0;
}

}  // namespace

int CmdLang(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--id", "--lang"}, {"--list"});
    if (args.Has("--help")) {
        std::printf(
            "%s"
            "--id ID --lang CODE: prints the text of ID in language CODE from\n"
            "  ..\\config\\trad\\VEK_Trad.xml; status 1 and nothing printed when there is none.\n"
            "--list: prints every entry of ..\\config\\language.ini: index, code, label,\n"
            "  fallback and the code its fallback chain resolves to.\n",
            kUsage);
        return 0;
    }
    bool list = args.Has("--list");
    bool translate = args.options.count("--id") || args.options.count("--lang");
    bool complete = args.options.count("--id") && args.options.count("--lang");
    if (!args.error.empty() || !args.positional.empty() || list == translate ||
        (translate && !complete)) {
        std::fprintf(stderr, "qvtool lang: %s%s", args.error.empty() ? "" : args.error.c_str(),
                     args.error.empty() ? kUsage : "\n");
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;
    return list ? List() : Translate(args.Get("--id"), args.Get("--lang"));
}
