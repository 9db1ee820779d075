// Runs a program and answers its dialogs as a user would: Yes to the same-version
// question (or No with --confirm no), the only or OK button everywhere else. Prints
// each dialog's title and texts and, with --shots, saves a PNG picture of it.
//
//   dialog_bot [--shots DIR] [--confirm yes|no] [--timeout SECONDS] PROGRAM
//
// Exit code: 0 when the program ended, 3 when it hung and was ended, 1 when it
// could not be started.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/win32/DialogBot.h"

namespace bot = dupd::support;

namespace {

std::string Slug(const std::string& title)
{
    std::string s;
    for (char c : title) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (keep) s += c;
        else if (!s.empty() && s.back() != '-') s += '-';
    }
    while (!s.empty() && s.back() == '-') s.pop_back();
    return s.empty() ? "dialog" : s;
}

std::string Caption(const bot::SeenDialog& d, int id)
{
    for (const auto& c : d.children)
        if (c.cls == "Button" && c.id == id) {
            std::string text;
            for (char ch : c.text)
                if (ch != '&') text += ch;
            return text;
        }
    return "button " + std::to_string(id);
}

void PrintTexts(const bot::SeenDialog& d)
{
    for (const auto& text : d.Texts()) {
        std::string line;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == '\n') {
                std::printf("  | %s\n", line.c_str());
                line.clear();
            } else if (text[i] != '\r') {
                line += text[i];
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string shots, program;
    int confirm = IDYES;
    DWORD timeoutMs = 60000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--shots" && i + 1 < argc) {
            shots = argv[++i];
        } else if (a == "--confirm" && i + 1 < argc) {
            confirm = std::string(argv[++i]) == "no" ? IDNO : IDYES;
        } else if (a == "--timeout" && i + 1 < argc) {
            timeoutMs = static_cast<DWORD>(std::atoi(argv[++i])) * 1000u;
        } else {
            program = a;
        }
    }
    if (program.empty()) {
        std::fprintf(stderr, "usage: dialog_bot [--shots DIR] [--confirm yes|no] [--timeout SECONDS] PROGRAM\n");
        return 1;
    }

    int count = 0;
    const bot::DialogObserver picture = [&](const bot::SeenDialog& d, HWND window) {
        ++count;
        std::printf("dialog %d: \"%s\"\n", count, d.title.c_str());
        PrintTexts(d);
        if (!shots.empty()) {
            char name[16];
            std::snprintf(name, sizeof name, "%02d-", count);
            const std::string path = shots + "\\" + name + Slug(d.title) + ".png";
            if (bot::CaptureToPng(window, path))
                std::printf("  picture: %s\n", path.c_str());
            else
                std::printf("  (no picture could be saved)\n");
        }
        std::fflush(stdout);
    };
    const bot::RunOutcome run = bot::RunAnswering(program, bot::UserAnswers(confirm), timeoutMs, picture);
    for (std::size_t i = 0; i < run.dialogs.size(); ++i)
        std::printf("dialog %zu answered: %s\n", i + 1, Caption(run.dialogs[i], run.dialogs[i].pressed).c_str());
    if (!run.problem.empty()) std::printf("problem: %s\n", run.problem.c_str());
    if (!run.started) return 1;
    if (!run.ended) return 3;
    std::printf("%s ended with exit code %lu\n", program.c_str(), run.exitCode);
    return 0;
}
