// The user's guide against the programs. A page marks the words the programs show (buttons,
// labels, captions, messages, log lines) by straight double quotes in its prose; commands, file
// names and file contents go in <code> or <pre>, which are not read, and "..." or an <i> inside a
// quotation stands for a part that varies. Every such quotation must be found in the texts of the
// programs (the resource scripts, string tables and the string literals of the product's sources),
// and every button of the console's windows must be quoted by some page. A few words that Windows
// or the installer framework shows, not Horalux, are listed below.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path kRoot = HORALUX_SOURCE_DIR;

// Windows' and the installer's own words, which no Horalux source holds.
const std::set<std::string> kForeignTexts = {"Services", "Apps", "Uninstall", "Yes", "No", "Start", "Stop"};

// Where the programs' texts live: folders of the product (not the tests) and the kinds of file.
const char* const kProductFolders[] = {"common",  "settings", "sntp",  "engine",
                                       "service", "console",  "cmake", "packaging"};
const char* const kProductExtensions[] = {".cpp", ".h",   ".in",   ".rc",  ".cmake",
                                          ".mc",  ".wxs", ".admx", ".adml"};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs of white space as one blank, as a page's line breaks and a label's "\n" both show.
std::string Squeeze(const std::string& text) {
    return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

std::string Unescape(const std::string& literal) {
    std::string text;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == '\\' && i + 1 < literal.size()) {
            const char next = literal[++i];
            text += next == 'n' || next == 'r' || next == 't' ? ' ' : next;
        } else {
            text += literal[i];
        }
    }
    return text;
}

std::string RegexEscape(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// A text of the programs, and when it has format fields (%s, %d, %1, and @NAME@ of the build's
// templates) the pattern of what it shows once they are filled. A text that is little more than
// its fields ("%s: %s") would read as anything and gets no pattern.
struct ProgramText {
    std::string text;
    std::optional<std::regex> filled;
};

ProgramText MakeProgramText(const std::string& text) {
    static const std::regex field(R"(%[-+ #0-9.]*[a-zA-Z0-9]|@[A-Z_]+@)");
    const std::string fixed = std::regex_replace(text, field, "");
    const auto letters =
        std::count_if(fixed.begin(), fixed.end(), [](unsigned char c) { return std::isalpha(c) != 0; });
    if (fixed == text || letters < 4) {
        return {text, std::nullopt};
    }
    try {
        // A last field takes one word (a version, a number): else it would take any ending.
        static const std::regex lastField(R"((%[-+ #0-9.]*[a-zA-Z0-9]|@[A-Z_]+@)\s*$)");
        const std::string pattern = std::regex_replace(RegexEscape(text), lastField, R"(\S+)");
        return {text, std::regex(std::regex_replace(pattern, field, ".+"))};
    } catch (const std::regex_error&) {
        return {text, std::nullopt};
    }
}

bool IsXml(const std::string& ext) {
    return ext == ".wxs" || ext == ".admx" || ext == ".adml";
}

// The source without its comments, so that a text only a comment holds is no program's text: C
// and C++ comments in the sources and resource scripts, "#" lines in CMake, ";" lines in the
// message file, <!-- --> in XML. Literals are kept whole: "//" inside one is no comment.
std::string WithoutComments(const std::string& source, const std::string& ext) {
    if (IsXml(ext)) {
        return std::regex_replace(source, std::regex(R"(<!--[\s\S]*?-->)"), " ");
    }
    const bool cLike = ext != ".cmake" && ext != ".mc";
    const auto lineComment = [&](std::size_t i) {
        if (ext == ".cmake") {
            return source[i] == '#';
        }
        if (ext == ".mc") {
            return source[i] == ';' && (i == 0 || source[i - 1] == '\n');
        }
        return source.compare(i, 2, "//") == 0;
    };
    std::string kept;
    for (std::size_t i = 0; i < source.size();) {
        const char quote = source[i];
        if (quote == '"' || (cLike && quote == '\'')) {
            std::size_t end = i + 1;
            while (end < source.size() && source[end] != quote && source[end] != '\n') {
                end += source[end] == '\\' ? 2 : 1;
            }
            end = std::min(end + 1, source.size());
            kept.append(source, i, end - i);
            i = end;
        } else if (lineComment(i)) {
            i = std::min(source.find('\n', i), source.size());
        } else if (cLike && source.compare(i, 2, "/*") == 0) {
            const std::size_t close = source.find("*/", i + 2);
            i = close == std::string::npos ? source.size() : close + 2;
            kept += ' ';
        } else {
            kept += source[i++];
        }
    }
    return kept;
}

// A resource script's caption as the window shows it: "&" marks the access key, "&&" is an "&".
std::string WithoutAccessKeys(const std::string& caption) {
    return std::regex_replace(caption, std::regex(R"(&(&?))"), "$1");
}

// Every string literal of the product's sources, and every element's text of its XML files.
std::vector<ProgramText> ProgramTexts() {
    std::vector<ProgramText> texts;
    const std::regex literal(R"re("((?:[^"\\\n]|\\.)*)")re");
    const std::regex element(R"(>([^<>]+)<)");
    for (const char* folder : kProductFolders) {
        for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
            const std::string ext = entry.path().extension().string();
            if (std::find(std::begin(kProductExtensions), std::end(kProductExtensions), ext) ==
                std::end(kProductExtensions)) {
                continue;
            }
            const std::string source = WithoutComments(ReadFile(entry.path()), ext);
            const std::regex& pattern = IsXml(ext) ? element : literal;
            for (std::sregex_iterator it(source.begin(), source.end(), pattern), end; it != end; ++it) {
                const std::string text = Squeeze(Unescape((*it)[1].str()));
                texts.push_back(MakeProgramText(ext == ".rc" ? WithoutAccessKeys(text) : text));
            }
        }
    }
    return texts;
}

std::string DecodeEntities(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities) {
        text = std::regex_replace(text, std::regex(entity), character);
    }
    return text;
}

// The quotations of a page's prose; <i>..</i> inside one becomes "...".
std::vector<std::string> PageQuotes(const std::string& html) {
    std::string prose = std::regex_replace(html, std::regex(R"(<(pre|code|head)[\s\S]*?</\1>)"), " ");
    prose = std::regex_replace(prose, std::regex(R"(<i>[^<]*</i>)"), "...");
    prose = std::regex_replace(prose, std::regex(R"(<[^>]*>)"), "");
    prose = Squeeze(DecodeEntities(prose));
    std::vector<std::string> quotes;
    const std::regex quote(R"re("([^"]*)")re");
    for (std::sregex_iterator it(prose.begin(), prose.end(), quote), end; it != end; ++it) {
        quotes.push_back((*it)[1].str());
    }
    return quotes;
}

// A fixed piece of a quotation is in a text when it is part of it or the filled text reads as it.
bool PieceIn(const std::string& piece, const ProgramText& text) {
    return text.text.find(piece) != std::string::npos ||
           (text.filled && std::regex_match(piece, *text.filled));
}

bool QuoteInPrograms(const std::string& quote, const std::vector<ProgramText>& texts) {
    if (kForeignTexts.count(quote) != 0) {
        return true;
    }
    std::size_t begin = 0;
    while (begin <= quote.size()) {
        const std::size_t end = std::min(quote.find("...", begin), quote.size());
        const std::string piece =
            std::regex_replace(quote.substr(begin, end - begin), std::regex(R"(^ +| +$)"), "");
        if (!piece.empty() && std::none_of(texts.begin(), texts.end(),
                                           [&](const ProgramText& t) { return PieceIn(piece, t); })) {
            return false;
        }
        begin = end + 3;
    }
    return true;
}

// The buttons of the console's windows: push buttons, radio buttons and check boxes.
std::vector<std::string> ConsoleButtons() {
    const std::string rc = ReadFile(kRoot / "console/app/HoraluxCons.rc");
    const std::regex button(
        R"re((?:PUSHBUTTON|DEFPUSHBUTTON)\s+"([^"]+)"|CONTROL\s+"([^"]+)",\s*\w+,\s*"Button")re");
    std::vector<std::string> buttons;
    for (std::sregex_iterator it(rc.begin(), rc.end(), button), end; it != end; ++it) {
        buttons.push_back(WithoutAccessKeys(Squeeze((*it)[1].matched ? (*it)[1].str() : (*it)[2].str())));
    }
    return buttons;
}

std::vector<fs::path> Pages() {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(kRoot / "docs/help")) {
        if (entry.path().extension() == ".html") {
            pages.push_back(entry.path());
        }
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

TEST(GuideDriftTest, EveryQuotedTextIsInTheProgramsAndEveryButtonIsInTheGuide) {
    const std::vector<ProgramText> texts = ProgramTexts();
    ASSERT_FALSE(Pages().empty());
    std::set<std::string> quoted;
    for (const fs::path& page : Pages()) {
        for (const std::string& quote : PageQuotes(ReadFile(page))) {
            quoted.insert(Squeeze(quote));
            EXPECT_TRUE(QuoteInPrograms(quote, texts))
                << page.filename().string() << ": \"" << quote << "\" is shown by neither program";
        }
    }
    const std::vector<std::string> buttons = ConsoleButtons();
    ASSERT_GE(buttons.size(), 20u) << "the resource script's buttons were not found";
    for (const std::string& button : buttons) {
        const std::string trimmed = std::regex_replace(button, std::regex(R"(^ +| +$)"), "");
        EXPECT_TRUE(quoted.count(button) != 0 || quoted.count(trimmed) != 0)
            << "the button \"" << button << "\" is mentioned by no page";
    }
}

}  // namespace
