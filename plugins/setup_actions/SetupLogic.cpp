#include "plugins/setup_actions/SetupLogic.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace setup {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAlnum(char c) {
    return IsDigit(c) || IsLetter(c);
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}
std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Inside single quotes a shell takes everything literally but the quote itself.
std::string ShellQuote(std::string_view text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Rows from scripts/keyboard_layouts.txt; a list of another length does not compile.
constexpr KeyboardLayout kKeyboards[] = {
#include "KeyboardTable.inc"
};
static_assert(std::size(kKeyboards) == kKeyboardCount, "one row for each keyboard picture");

}  // namespace

bool ValidHost(std::string_view host) {
    if (host.empty() || host.size() > 253)
        return false;
    size_t label = 0;
    char previous = '.';
    for (char c : host) {
        if (c == '.') {
            if (label == 0 || previous == '-')
                return false;
            label = 0;
        } else if (IsAlnum(c) || c == '-') {
            if (label == 0 && c == '-')
                return false;
            if (++label > 63)
                return false;
        } else {
            return false;
        }
        previous = c;
    }
    return label > 0 && previous != '-';
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (char c : port) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool ValidFreeText(std::string_view text, size_t maxBytes) {
    if (text.size() > maxBytes)
        return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

bool ValidDigits(std::string_view text, size_t minDigits, size_t maxDigits) {
    if (text.size() < minDigits || text.size() > maxDigits)
        return false;
    for (char c : text)
        if (!IsDigit(c))
            return false;
    return true;
}

bool ValidEmail(std::string_view text) {
    if (text.empty())
        return true;
    size_t at = text.find('@');
    if (at == 0 || at == std::string_view::npos || text.find('@', at + 1) != std::string_view::npos)
        return false;
    std::string_view domain = text.substr(at + 1);
    size_t dot = domain.find('.');
    if (dot == 0 || dot == std::string_view::npos || domain.back() == '.')
        return false;
    for (unsigned char c : text)
        if (c <= 0x20 || c == 0x7F)
            return false;
    return true;
}

ProxyCheck CheckProxy(const ProxyEntry& p) {
    ProxyCheck r;
    if (p.host.empty()) {
        r.user = !p.user.empty();
        r.password = !p.password.empty();
        r.port = !p.port.empty();
        return r;
    }
    r.host = !ValidHost(p.host);
    r.port = !ValidPort(p.port);
    r.user = !ValidFreeText(p.user, 64) || p.user.find(' ') != std::string::npos;
    r.password = !ValidFreeText(p.password, 128) || (!p.password.empty() && p.user.empty());
    return r;
}

bool MatchesPattern(std::string_view pattern, std::string_view text) {
    for (;;) {
        const size_t bar = pattern.find('|');
        // Blanks around '|' are for the reader: no postcode begins or ends with one.
        const std::string_view alternative = Trim(pattern.substr(0, bar));
        bool match = alternative.size() == text.size();
        for (size_t i = 0; match && i < text.size(); ++i) {
            const char p = alternative[i], c = text[i];
            match = p == '9'   ? IsDigit(c)
                    : p == 'A' ? IsLetter(c)
                    : p == '?' ? IsAlnum(c)
                               : Lower(p) == Lower(c);
        }
        if (match)
            return true;
        if (bar == std::string_view::npos)
            return false;
        pattern.remove_prefix(bar + 1);
    }
}

bool ValidPhone(std::string_view text, size_t minDigits, size_t maxDigits) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == ' ' || text.back() == ' ')
        return false;
    size_t digits = 0;
    char previous = 0;
    for (char c : text) {
        if (c == ' ' ? previous == ' ' : !IsDigit(c))
            return false;
        digits += c != ' ';
        previous = c;
    }
    return digits >= minDigits && digits <= maxDigits;
}

CountryRule CountryRuleOf(std::string_view rulesText, std::string_view country,
                          std::string* problem) {
    CountryRule rule;
    if (country.size() != 2 || !IsLetter(country[0]) || !IsLetter(country[1]))
        return rule;
    const std::string section(country);
    if (auto postcode = ProfileValue(rulesText, section, "Postcode");
        postcode && !postcode->empty())
        rule.postcode = *postcode;
    const std::optional<std::string> phone = ProfileValue(rulesText, section, "PhoneDigits");
    if (!phone || phone->empty())
        return rule;
    // "MIN-MAX", both 1 to kPhoneDigitsMax.
    const size_t dash = phone->find('-');
    auto number = [](std::string_view s) -> size_t {
        if (!ValidDigits(s, 1, 2))
            return 0;
        return static_cast<size_t>(std::atoi(std::string(s).c_str()));
    };
    const size_t low = dash == std::string::npos ? 0 : number(Trim(phone->substr(0, dash)));
    const size_t high = dash == std::string::npos ? 0 : number(Trim(phone->substr(dash + 1)));
    if (low == 0 || high < low || high > kPhoneDigitsMax) {
        if (problem)
            *problem = "PhoneDigits of " + section + " is not MIN-MAX from 1 to " +
                       std::to_string(kPhoneDigitsMax);
        return rule;
    }
    rule.phoneDigits = std::pair{low, high};
    return rule;
}

bool FieldValid(const FieldRule& rule, std::string_view value, const CountryRule& country) {
    if (value.empty())
        return !rule.mandatory;
    if (!ValidFreeText(value, rule.maxBytes) || value.find("@@@") != std::string_view::npos ||
        value.back() == '@')
        return false;
    switch (rule.kind) {
        case FieldKind::Text:
            return true;
        case FieldKind::Digits:
            return ValidDigits(value, 1, rule.maxBytes);
        case FieldKind::Postcode:
            return !country.postcode || MatchesPattern(*country.postcode, value);
        case FieldKind::Phone:
            return !country.phoneDigits ||
                   ValidPhone(value, country.phoneDigits->first, country.phoneDigits->second);
        case FieldKind::Email:
            return ValidEmail(value);
    }
    return false;
}

AccountCheck CheckAccount(const AccountEntry& a) {
    AccountCheck r;
    r.customer = !ValidDigits(a.customer, 4, 10);
    r.site = !FieldValid({"CodeKelor", true, FieldKind::Text, 20}, a.site);
    r.password = a.password.size() < 6 || !ValidFreeText(a.password, 64);
    r.confirmation = a.password != a.confirmation;
    return r;
}

Refusal ProxyRefusal(const ProxyEntry& p, const ProxyCheck& r) {
    // Without a host, whatever else was given is wrong for one reason.
    const bool noHost = p.host.empty();
    if (r.host)
        return {kProxyHostEdit, reason::kProxyHost};
    if (r.port)
        return {kProxyPortEdit, noHost ? reason::kProxyWithoutHost : reason::kProxyPort};
    if (r.user)
        return {kProxyUserEdit, noHost ? reason::kProxyWithoutHost : reason::kProxyUser};
    if (r.password)
        return {kProxyPasswordEdit, noHost           ? reason::kProxyWithoutHost
                                    : p.user.empty() ? reason::kProxyPasswordWithoutUser
                                                     : reason::kProxyPassword};
    return {};
}

Refusal AccountRefusal(const AccountCheck& r) {
    if (r.customer)
        return {kCustomerEdit, reason::kCustomer};
    if (r.site)
        return {kSiteEdit, reason::kSite};
    if (r.password)
        return {kAccountPasswordEdit, reason::kAccountPassword};
    if (r.confirmation)
        return {kConfirmationEdit, reason::kConfirmation};
    return {};
}

std::span<const FormField> PointOfSaleForm() {
    // Phone numbers hold up to 20 characters: "+44 20 7946 0000" is 16.
    static constexpr FormField kForm[] = {
        {{"RaisonSociale", true, FieldKind::Text, 60}, 1, 1100, reason::kCompany, reason::kCompany},
        {{"Adresse", true, FieldKind::Text, 80}, 2, 1101, reason::kAddress, reason::kAddress},
        {{"CodePostal", true, FieldKind::Postcode, 10},
         3,
         1102,
         reason::kPostcodeMissing,
         reason::kPostcode},
        {{"Ville", true, FieldKind::Text, 60}, 4, 1103, reason::kCity, reason::kCity},
        {{"BoitePostale", false, FieldKind::Text, 20}, 5, 1104, reason::kPoBox, reason::kPoBox},
        {{"Prefixe", false, FieldKind::Text, 6}, 6, 1105, reason::kPrefix, reason::kPrefix},
        {{"Interlocuteur", false, FieldKind::Text, 60},
         7,
         1106,
         reason::kContact,
         reason::kContact},
        {{"Telephone", true, FieldKind::Phone, 20}, 8, 1107, reason::kPhoneMissing, reason::kPhone},
        {{"Fax", false, FieldKind::Phone, 20}, 9, 1108, reason::kFax, reason::kFax},
        {{"Email", false, FieldKind::Email, 80}, 10, 1109, reason::kEmail, reason::kEmail},
        {{"IdInterlocuteur", false, FieldKind::Text, 20},
         11,
         1110,
         reason::kContactId,
         reason::kContactId},
        {{"TelInterlocuteur", false, FieldKind::Phone, 20},
         13,
         1112,
         reason::kContactPhone,
         reason::kContactPhone},
    };
    return kForm;
}

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (IsAlnum(static_cast<char>(c)) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text) {
    auto hex = [](char c) -> int {
        if (IsDigit(c))
            return c - '0';
        c = Lower(c);
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ProxyUrl(const ProxyEntry& p) {
    std::string url = "http://";
    if (!p.user.empty()) {
        url += PercentEncode(p.user);
        if (!p.password.empty())
            url += ":" + PercentEncode(p.password);
        url += "@";
    }
    return url + p.host + ":" + p.port + "/";
}

std::string ShellProxyFile(const ProxyEntry& p) {
    const std::string url = ShellQuote(ProxyUrl(p));
    std::string out = "# Proxy of this workstation, written by Quilvane Setup.\n";
    for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
        out += std::string("export ") + name + "=" + url + "\n";
    out += "export no_proxy='localhost,127.0.0.1,::1'\n";
    return out;
}

std::string ShellProfileFile(const ProxyEntry& p) {
    if (p.password.empty())
        return ShellProxyFile(p);
    // A user without the password only makes the proxy refuse: neither goes to everyone.
    const std::string path = std::string("/") + kProxyCredentials;
    return ShellProxyFile({"", "", p.host, p.port}) + "# The proxy password is in " + path +
           ", for the users who may read it.\n"
           "if [ -r " +
           path + " ]; then\n    . " + path + "\nfi\n";
}

std::string ShellCredentialsFile(const ProxyEntry& p) {
    return "# Sourced by /etc/profile.d/quilvane-proxy.sh.\n" + ShellProxyFile(p);
}

std::string AptProxyFile(const ProxyEntry& p) {
    // The URL holds no '"': user and password are percent-encoded, host and port checked.
    const std::string url = ProxyUrl(p);
    return "// Proxy of this workstation, written by Quilvane Setup.\n"
           "Acquire::http::Proxy \"" +
           url + "\";\nAcquire::https::Proxy \"" + url + "\";\n";
}

std::string ProxyRecordFile(const ProxyEntry& p) {
    return "host=" + PercentEncode(p.host) + "\nport=" + PercentEncode(p.port) +
           "\nuser=" + PercentEncode(p.user) + "\npassword=" + PercentEncode(p.password) + "\n";
}

std::optional<ProxyEntry> ParseProxyRecord(std::string_view text) {
    ProxyEntry p;
    bool any = false;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, eq);
        std::string value = PercentDecode(Trim(line.substr(eq + 1)));
        if (key == "host")
            p.host = value, any = true;
        else if (key == "port")
            p.port = value;
        else if (key == "user")
            p.user = value;
        else if (key == "password")
            p.password = value;
    }
    if (!any)
        return std::nullopt;
    return p;
}

std::string IsoTime(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    // Offsets are within a day; the modulo only keeps the formatting bounded.
    const long offset = tm.tm_gmtoff;
    const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return std::string(stamp) + zone;
}

std::string EncodeChoiceValue(std::string_view value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        // A blank at the end would be trimmed away when the line is read.
        if (c < 0x20 || c == 0x7F || c == '%' || (c == ' ' && i + 1 == value.size())) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ChoicesFile(const std::vector<Choice>& choices) {
    std::string out =
        "# Choices of this workstation, written by Quilvane Setup: the last run's over those of\n"
        "# earlier runs. Button numbers count from 1; the point-of-sale fields by their record\n"
        "# names; no password.\n";
    for (const Choice& c : choices)
        out += c.key + "=" + EncodeChoiceValue(c.value) + "\n";
    return out;
}

std::vector<Choice> ParseChoices(std::string_view text) {
    std::vector<Choice> choices;
    std::map<std::string, size_t, std::less<>> index;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const size_t eq = line.find('=');
        if (line.empty() || line.front() == '#' || eq == 0 || eq == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, eq);
        std::string value = PercentDecode(line.substr(eq + 1));
        if (auto at = index.find(key); at != index.end()) {
            choices[at->second].value = std::move(value);
        } else if (choices.size() < kChoicesMax) {
            index.emplace(key, choices.size());
            choices.push_back({std::string(key), std::move(value)});
        }
    }
    return choices;
}

std::vector<Choice> MergeChoices(std::vector<Choice> earlier, const std::vector<Choice>& run) {
    for (const Choice& c : run) {
        bool found = false;
        for (Choice& e : earlier) {
            if (e.key == c.key) {
                e.value = c.value;
                found = true;
            }
        }
        if (!found)
            earlier.push_back(c);
    }
    return earlier;
}

std::string AppendSummary(std::string_view previous, std::string_view run, bool previousCut,
                          size_t keep) {
    std::vector<std::string> sections;
    std::string undated;
    bool inSection = false;
    while (!previous.empty()) {
        const size_t end = previous.find('\n');
        std::string_view line = previous.substr(0, end);
        previous = end == std::string_view::npos ? std::string_view() : previous.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            sections.emplace_back();
            inSection = true;
        } else if (!inSection) {
            // The header is written anew; older lines without a date keep their own section.
            if (line.front() != '#' && !previousCut)
                undated += std::string(line) + "\n";
            continue;
        }
        sections.back() += std::string(line) + "\n";
    }
    if (!undated.empty())
        sections.insert(sections.begin(), "[undated run]\n" + undated);
    std::string out =
        "# Written by Quilvane Setup.\n"
        "# One section per run, oldest first: when it ran (local time), the flow, what it wrote\n"
        "# or removed and the choices made. The last " +
        std::to_string(keep) + " runs are kept.\n";
    const size_t earlier = keep == 0 ? 0 : keep - 1;
    for (size_t i = sections.size() > earlier ? sections.size() - earlier : 0; i < sections.size();
         ++i)
        out += sections[i];
    out += run;
    if (!run.empty() && run.back() != '\n')
        out += '\n';
    return out;
}

const KeyboardLayout& Keyboard(int n) {
    return kKeyboards[n >= 1 && n <= kKeyboardCount ? n - 1 : 0];
}

int KeyboardForTag(std::string_view tag) {
    struct Pair {
        const char* tag;
        int keyboard;
    };
    static constexpr Pair kPairs[] = {
        {"en_US", 1},  {"en_GB", 2}, {"en_IE", 20}, {"fr_FR", 3},  {"fr_BE", 4}, {"fr_CH", 7},
        {"fr_CA", 21}, {"de_DE", 5}, {"de_CH", 6},  {"de_AT", 19}, {"es_ES", 8}, {"it_IT", 9},
        {"nl_NL", 10}, {"nl_BE", 4}, {"pt_PT", 11}, {"pt_BR", 23},
    };
    for (const Pair& p : kPairs)
        if (EqualNoCase(tag, p.tag))
            return p.keyboard;
    // Only the language is known: the first layout of it.
    for (const Pair& p : kPairs)
        if (tag.size() >= 2 && EqualNoCase(tag.substr(0, 2), std::string_view(p.tag, 2)))
            return p.keyboard;
    return 1;
}

std::string KeyboardFile(int n) {
    const KeyboardLayout& k = Keyboard(n);
    return std::string("# Keyboard of this workstation (") + k.name +
           "), written by Quilvane Setup.\n"
           "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"" +
           k.layout + "\"\nXKBVARIANT=\"" + k.variant +
           "\"\nXKBOPTIONS=\"\"\n\nBACKSPACE=\"guess\"\n";
}

std::optional<std::string> LocaleFile(std::string_view language, std::string_view country) {
    auto letters = [](std::string_view s) {
        return s.size() == 2 && IsAlnum(s[0]) && IsAlnum(s[1]) && !IsDigit(s[0]) && !IsDigit(s[1]);
    };
    if (!letters(language) || !letters(country))
        return std::nullopt;
    std::string tag{Lower(language[0]), Lower(language[1]), '_',
                    static_cast<char>(country[0] & ~0x20), static_cast<char>(country[1] & ~0x20)};
    return "LANG=" + tag + ".UTF-8\nLANGUAGE=" + tag + ":" + tag.substr(0, 2) + "\n";
}

}  // namespace setup
