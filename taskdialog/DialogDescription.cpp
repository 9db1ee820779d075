#include "taskdialog/DialogDescription.h"

#include <functional>
#include <utility>
#include <vector>

#include "taskdialog/TaskDialog.h"

namespace dupd {
namespace {

// The values are collected first and given to the component only when the whole
// text has been read, so that a fault leaves the component as it was.
using Setter = std::function<void(TTaskDialogEx&)>;

struct Fault {
    std::string message;
};

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

int ParseInt(const std::string& key, const std::string& value)
{
    std::size_t i = 0;
    const bool negative = !value.empty() && value[0] == '-';
    if (negative) ++i;
    if (i == value.size()) throw Fault{key + ": " + Quoted(value) + " is not a whole number"};
    long long v = 0;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (c < '0' || c > '9') throw Fault{key + ": " + Quoted(value) + " is not a whole number"};
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) throw Fault{key + ": " + Quoted(value) + " is out of range"};
    }
    if (negative) v = -v;
    if (v > 2147483647LL) throw Fault{key + ": " + Quoted(value) + " is out of range"};
    return static_cast<int>(v);
}

template <class E, std::size_t N>
E ParseName(const std::string& key, const std::string& name, const char* const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i]) return static_cast<E>(i);
    std::string known;
    for (std::size_t i = 0; i < N; ++i) known += (i ? ", " : "") + std::string(names[i]);
    throw Fault{key + ": " + Quoted(name) + " is not one of " + known};
}

template <class Set, class E, std::size_t N>
Set ParseSet(const std::string& key, const std::string& value, const char* const (&names)[N])
{
    Set set;
    if (value.empty()) return set;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        const std::string name = Trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (name.empty()) throw Fault{key + ": an empty name in the list " + Quoted(value)};
        set.Include(ParseName<E>(key, name, names));
        if (comma == std::string::npos) return set;
        start = comma + 1;
    }
}

std::vector<std::string> ParseList(const std::string& value)
{
    std::vector<std::string> out;
    if (value.empty()) return out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = value.find('|', start);
        out.push_back(value.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) return out;
        start = bar + 1;
    }
}

bool ParseWord(const std::string& key, const std::string& value, const char* yes, const char* no)
{
    if (value == yes) return true;
    if (value == no) return false;
    throw Fault{key + ": " + Quoted(value) + " is neither " + yes + " nor " + no};
}

// In declaration order, so that a name's index is its ordinal.
const char* const kIcons[] = {"tiBlank", "tiWarning", "tiQuestion", "tiError", "tiInformation", "tiNotUsed",
                              "tiShield"};
const char* const kFooterIcons[] = {"tfiBlank", "tfiWarning", "tfiQuestion", "tfiError", "tfiInformation",
                                    "tfiShield"};
const char* const kCommonButtons[] = {"cbOK", "cbYes", "cbNo", "cbCancel", "cbRetry", "cbClose"};
const char* const kPositions[] = {"dpScreenCenter", "dpOwnerFormCenter"};
const char* const kNonNative[] = {"nndAuto", "nndAlways"};
const char* const kOptions[] = {"doHyperlinks",         "doCommandLinks", "doCommandLinksNoIcon", "doExpandedDefault",
                                "doExpandedFooter",     "doAllowMinimize", "doVerifyChecked",     "doProgressBar",
                                "doProgressBarMarquee", "doTimer",         "doNoDefaultRadioButton",
                                "doAllowDialogCancel"};

using TextSetter = void (TTaskDialogEx::*)(const std::string&);
using IntSetter = void (TTaskDialogEx::*)(int);

Setter Text(TextSetter set, std::string value)
{
    return [set, value = std::move(value)](TTaskDialogEx& d) { (d.*set)(value); };
}

Setter Number(IntSetter set, int value)
{
    return [set, value](TTaskDialogEx& d) { (d.*set)(value); };
}

// One [Dialog] line; null when only the description changes.
Setter DialogValue(const std::string& key, const std::string& value, int line, DialogDescription& description)
{
    if (key == "Title") return Text(&TTaskDialogEx::SetTitle, value);
    if (key == "Instruction") return Text(&TTaskDialogEx::SetInstruction, value);
    if (key == "Content") return Text(&TTaskDialogEx::SetContent, value);
    if (key == "ExpandedText") return Text(&TTaskDialogEx::SetExpandedText, value);
    if (key == "ExpandControlText") return Text(&TTaskDialogEx::SetExpandControlText, value);
    if (key == "CollapsControlText") return Text(&TTaskDialogEx::SetCollapsControlText, value);
    if (key == "Footer") return Text(&TTaskDialogEx::SetFooter, value);
    if (key == "VerificationText") return Text(&TTaskDialogEx::SetVerificationText, value);
    if (key == "Icon") {
        const auto icon = ParseName<TTaskDialogIcon>(key, value, kIcons);
        return [icon](TTaskDialogEx& d) { d.SetIcon(icon); };
    }
    if (key == "FooterIcon") {
        const auto icon = ParseName<TTaskDialogFooterIcon>(key, value, kFooterIcons);
        return [icon](TTaskDialogEx& d) { d.SetFooterIcon(icon); };
    }
    if (key == "CustomIcon") {
        description.CustomIconPath = value;
        description.CustomIconLine = line;
        return nullptr;
    }
    if (key == "CommonButtons") {
        const auto set = ParseSet<TCommonButtons, TCommonButton>(key, value, kCommonButtons);
        return [set](TTaskDialogEx& d) { d.SetCommonButtons(set); };
    }
    if (key == "CustomButtons") {
        auto list = ParseList(value);
        return [list = std::move(list)](TTaskDialogEx& d) { d.SetCustomButtons(list); };
    }
    if (key == "RadioButtons") {
        auto list = ParseList(value);
        return [list = std::move(list)](TTaskDialogEx& d) { d.SetRadioButtons(list); };
    }
    if (key == "DefaultButton") return Number(&TTaskDialogEx::SetDefaultButton, ParseInt(key, value));
    if (key == "DefaultRadioButton") return Number(&TTaskDialogEx::SetDefaultRadioButton, ParseInt(key, value));
    if (key == "Options") {
        const auto set = ParseSet<TTaskDialogOptions, TTaskDialogOption>(key, value, kOptions);
        return [set](TTaskDialogEx& d) { d.SetOptions(set); };
    }
    if (key == "DialogPosition") {
        const auto position = ParseName<TTaskDialogPosition>(key, value, kPositions);
        return [position](TTaskDialogEx& d) { d.SetDialogPosition(position); };
    }
    if (key == "ApplicationIsParent") {
        const bool v = ParseWord(key, value, "true", "false");
        return [v](TTaskDialogEx& d) { d.SetApplicationIsParent(v); };
    }
    if (key == "NonNativeDialog") {
        const auto way = ParseName<TNonNativeDialog>(key, value, kNonNative);
        return [way](TTaskDialogEx& d) { d.SetNonNativeDialog(way); };
    }
    if (key == "NonNativeMinFormWidth") return Number(&TTaskDialogEx::SetNonNativeMinFormWidth, ParseInt(key, value));
    if (key == "ProgressBarMin") return Number(&TTaskDialogEx::SetProgressBarMin, ParseInt(key, value));
    if (key == "ProgressBarMax") return Number(&TTaskDialogEx::SetProgressBarMax, ParseInt(key, value));
    throw Fault{"unknown key " + Quoted(key) + " in [Dialog]"};
}

void EventValue(const std::string& key, const std::string& value, DialogEvents& events)
{
    if (key == "Hyperlink") {
        events.Hyperlink = ParseWord(key, value, "yes", "no");
    } else if (key == "Timer") {
        events.Timer = ParseWord(key, value, "yes", "no");
    } else if (key == "VetoClose") {
        const int n = ParseInt(key, value);
        if (n < 0) throw Fault{key + ": the number of refusals cannot be negative"};
        events.VetoClose = n;
    } else if (key == "ProgressStep") {
        events.ProgressStep = ParseInt(key, value);
    } else {
        throw Fault{"unknown key " + Quoted(key) + " in [Events]"};
    }
}

}  // namespace

bool ReadDialogDescription(const std::string& text, TTaskDialogEx& dialog, DialogDescription& description,
                           DescriptionError& error)
{
    enum class Section { None, Dialog, Events };
    Section section = Section::None;
    DialogDescription read;
    std::vector<Setter> setters;

    int lineNumber = 0;
    std::size_t start = 0;
    // Editors on Windows like to begin a file with a byte-order mark.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();

        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        try {
            if (line[0] == '[') {
                if (line.back() != ']') throw Fault{"a section header needs a closing \"]\""};
                const std::string name = line.substr(1, line.size() - 2);
                if (name == "Dialog")
                    section = Section::Dialog;
                else if (name == "Events")
                    section = Section::Events;
                else
                    throw Fault{"unknown section [" + name + "] (known: [Dialog], [Events])"};
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) throw Fault{"expected Name=Value, not " + Quoted(line)};
            const std::string key = Trim(line.substr(0, eq));
            const std::string value = Trim(line.substr(eq + 1));
            if (key.empty()) throw Fault{"a value without a name"};
            if (section == Section::None) throw Fault{Quoted(key) + " comes before any section"};
            if (section == Section::Dialog) {
                if (Setter s = DialogValue(key, value, lineNumber, read)) setters.push_back(std::move(s));
            } else {
                EventValue(key, value, read.Events);
            }
        } catch (const Fault& fault) {
            error.Line = lineNumber;
            error.Message = fault.message;
            return false;
        }
    }

    for (const Setter& s : setters) s(dialog);
    description = std::move(read);
    return true;
}

}  // namespace dupd
