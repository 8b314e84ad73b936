#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <mutex>

#include "platform/files.h"

namespace tarvex::platform {

namespace {

// Erases from the cursor to the end of the line; every terminal emulator in use knows it.
constexpr std::string_view kEraseToEnd = "\033[K";
constexpr size_t kWidthWhenUnknown = 80;

// The progress thread and the stage that reports a failure both write; one line at a time.
std::mutex screen_mutex;
std::string shown;  // the status line on screen; empty when there is none

size_t TerminalWidth() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kWidthWhenUnknown;
  return size.ws_col;
}

// A failed write to the terminal is of no consequence to the run: it is not reported.
void WriteToTerminal(std::string_view text) { WriteAll(STDERR_FILENO, text); }

std::string StatusText(std::string_view text) {
  // The last column stays free: a character there makes some terminals wrap at once.
  const size_t width = TerminalWidth();
  return std::string(FitToWidth(PrintableText(text), width > 1 ? width - 1 : 1));
}

}  // namespace

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ShowStatusLine(std::string_view text) {
  std::lock_guard lock(screen_mutex);
  std::string line = StatusText(text);
  if (line == shown) return;
  shown = std::move(line);
  WriteToTerminal("\r" + shown + std::string(kEraseToEnd));
}

void PrintAboveStatusLine(std::string_view line) {
  std::lock_guard lock(screen_mutex);
  std::string text = "\r" + PrintableText(line) + std::string(kEraseToEnd) + "\n";
  if (!shown.empty()) {
    shown = StatusText(shown);  // the terminal may have been resized meanwhile
    text += shown;
  }
  WriteToTerminal(text);
}

void ClearStatusLine() {
  std::lock_guard lock(screen_mutex);
  if (shown.empty()) return;
  shown.clear();
  WriteToTerminal("\r" + std::string(kEraseToEnd));
}

std::string PrintableText(std::string_view text) {
  std::string printable(text);
  for (char& c : printable) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t') {
      c = ' ';
    } else if (byte < 0x20 || byte == 0x7F) {
      c = '?';
    }
  }
  return printable;
}

std::string_view FitToWidth(std::string_view text, size_t width) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A UTF-8 continuation byte belongs to the character before it.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters == width) return text.substr(0, i);
    ++characters;
  }
  return text;
}

}  // namespace tarvex::platform
