#include "win/terminal_posix.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "win/key_decoder.h"
#include "win/posix_support.h"
#include "win/screen_buffer.h"
#include "win/terminal_render.h"

namespace win::posix::terminal {
namespace {

using namespace std::chrono_literals;

const HANDLE InputHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x10000001));
const HANDLE OutputHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x10000002));

constexpr WORD DefaultAttributes = 0x07;  // light grey on black, as a new console
constexpr int EscapeWaitMs = 50;          // a lone ESC is the Esc key after this
constexpr auto CursorReplyWait = 250ms;
constexpr std::size_t OutputFlushSize = 4096;

struct Terminal {
  int fd = -1;
  termios saved{};
  std::atomic<bool> modeChanged{false};
  std::atomic<bool> painted{false};
  std::atomic<int> cursorColumn{0};
  bool inputOpen = false;
  bool outputOpen = false;
  int wake[2] = {-1, -1};
  std::optional<ScreenBuffer> screen;
  COORD cursor{0, 0};
  std::optional<TerminalRenderer> renderer;
  std::string input;
  std::deque<INPUT_RECORD> events;
  std::timed_mutex lock;
};

Terminal& Tty() {
  static Terminal* terminal = new Terminal;  // never destroyed: signal handlers may use it late
  return *terminal;
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the terminal is gone; nothing more to show
    done += static_cast<std::size_t>(n);
  }
}

void Flush(Terminal& t) {
  if (t.renderer && t.renderer->HasPending()) WriteAll(t.fd, t.renderer->Take());
}

// Painting is gathered and written in large pieces; whatever the program
// does that may take time or wait first shows what is pending.
void FlushIfLarge(Terminal& t) {
  if (t.renderer->PendingSize() >= OutputFlushSize) Flush(t);
}

bool LocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string text(value);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("utf-8") != std::string::npos || text.find("utf8") != std::string::npos;
  }
  return false;
}

COORD TerminalSize(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    return COORD{static_cast<SHORT>(std::min<int>(size.ws_col, 0x7FFF)),
                 static_cast<SHORT>(std::min<int>(size.ws_row, 0x7FFF))};
  }
  return COORD{80, 24};
}

// Asks the terminal where its cursor is. Keys typed meanwhile are kept.
std::optional<COORD> AskCursor(Terminal& t) {
  termios current{};
  if (::tcgetattr(t.fd, &current) != 0) return std::nullopt;
  termios quiet = current;
  quiet.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  quiet.c_cc[VMIN] = 0;
  quiet.c_cc[VTIME] = 0;
  ::tcsetattr(t.fd, TCSANOW, &quiet);
  WriteAll(t.fd, "\x1b[6n");

  std::string got;
  std::optional<COORD> answer;
  const auto deadline = std::chrono::steady_clock::now() + CursorReplyWait;
  while (!answer) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{t.fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[64];
    const ssize_t n = ::read(t.fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
    // The reply is ESC [ row ; column R.
    for (std::size_t start = got.find("\x1b["); start != std::string::npos;
         start = got.find("\x1b[", start + 1)) {
      int row = 0, column = 0;
      std::size_t i = start + 2;
      while (i < got.size() && std::isdigit(static_cast<unsigned char>(got[i]))) {
        row = row * 10 + (got[i++] - '0');
      }
      if (i >= got.size() || got[i++] != ';') continue;
      while (i < got.size() && std::isdigit(static_cast<unsigned char>(got[i]))) {
        column = column * 10 + (got[i++] - '0');
      }
      if (i >= got.size() || got[i] != 'R' || row < 1 || column < 1) continue;
      answer = COORD{static_cast<SHORT>(std::min(column - 1, 0x7FFF)),
                     static_cast<SHORT>(std::min(row - 1, 0x7FFF))};
      got.erase(start, i + 1 - start);
      break;
    }
  }
  t.input += got;
  ::tcsetattr(t.fd, TCSANOW, &current);
  return answer;
}

void KeepCursorOnScreen(Terminal& t) {
  t.cursor.X = std::min<SHORT>(t.cursor.X, static_cast<SHORT>(t.screen->Columns() - 1));
  t.cursor.Y = std::min<SHORT>(t.cursor.Y, static_cast<SHORT>(t.screen->Rows() - 1));
  t.cursorColumn = t.cursor.X;
}

bool Attach(Terminal& t) {
  // From before the first change to the terminal's settings, a signal must
  // find someone to put them back.
  signals::Start();
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    FailWithErrno(errno);
    return false;
  }
  if (!::isatty(fd) || ::tcgetattr(fd, &t.saved) != 0) {
    ::close(fd);
    FailWith(ERROR_INVALID_HANDLE);
    return false;
  }
  if (::pipe(t.wake) == 0) {
    for (const int end : t.wake) ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(t.wake[0], F_SETFL, O_NONBLOCK);
    ::fcntl(t.wake[1], F_SETFL, O_NONBLOCK);
  }
  t.fd = fd;
  const COORD size = TerminalSize(fd);
  t.screen.emplace(size.X, size.Y, DefaultAttributes);
  t.renderer.emplace(LocaleIsUtf8());
  // Where the shell left the cursor; a terminal that does not answer gets the
  // start of its bottom row, where a prompt usually is.
  const auto cursor = AskCursor(t);
  t.cursor = cursor.value_or(COORD{0, static_cast<SHORT>(size.Y - 1)});
  KeepCursorOnScreen(t);
  return true;
}

void SetRaw(Terminal& t) {
  termios raw = t.saved;
  raw.c_iflag &= static_cast<tcflag_t>(
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | INPCK));
  raw.c_oflag &= static_cast<tcflag_t>(~OPOST);
  raw.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL | ICANON | ISIG | IEXTEN));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  t.modeChanged = true;
  ::tcsetattr(t.fd, TCSANOW, &raw);
}

void RestoreMode(Terminal& t) {
  if (t.modeChanged.exchange(false)) ::tcsetattr(t.fd, TCSANOW, &t.saved);
}

// Sends what is pending, then our colours off and the shell's prompt on a
// row of its own.
void FinishOutput(Terminal& t) {
  const bool painted = t.painted.exchange(false);
  if (painted) t.renderer->ResetColours();
  std::string bytes = t.renderer->Take();
  // A line feed, not a cursor move: on the bottom row it must scroll.
  if (painted && t.cursor.X != 0) bytes += "\r\n";
  if (!bytes.empty()) WriteAll(t.fd, bytes);
}

bool IsOpenOutput(const Terminal& t, HANDLE handle) {
  return handle == OutputHandle && t.outputOpen;
}

void RenderRows(Terminal& t, int left, int top, int right, int bottom) {
  for (int y = top; y <= bottom; ++y) {
    if (right >= left) {
      t.renderer->Cells(left, y, &t.screen->Cell(left, y), right - left + 1, t.screen->Columns());
    }
  }
  t.painted = true;
  FlushIfLarge(t);
}

}  // namespace

bool IsConsoleHandle(HANDLE handle) {
  return handle == InputHandle || handle == OutputHandle;
}

HANDLE Open(LPCSTR name) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  const bool input = std::strcmp(name, "CONIN$") == 0;
  if (t.fd < 0 && !Attach(t)) return INVALID_HANDLE_VALUE;
  (input ? t.inputOpen : t.outputOpen) = true;
  return input ? InputHandle : OutputHandle;
}

BOOL Close(HANDLE handle) {
  Terminal& t = Tty();
  std::unique_lock guard(t.lock, std::defer_lock);
  if (!guard.try_lock_for(1s)) return FailWith(ERROR_GEN_FAILURE);
  if (handle == InputHandle && t.inputOpen) {
    t.inputOpen = false;
    RestoreMode(t);
    return TRUE;
  }
  if (handle == OutputHandle && t.outputOpen) {
    FinishOutput(t);
    t.outputOpen = false;
    return TRUE;
  }
  return FailWith(ERROR_INVALID_HANDLE);
}

BOOL SetMode(HANDLE handle, DWORD mode) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (handle == InputHandle && t.inputOpen) {
    if (mode == 0) {
      SetRaw(t);
    } else {
      RestoreMode(t);
    }
    return TRUE;
  }
  // Output is always painted cell by cell; there is nothing to switch.
  if (IsOpenOutput(t, handle)) return TRUE;
  return FailWith(ERROR_INVALID_HANDLE);
}

BOOL GetInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (!IsOpenOutput(t, handle)) return FailWith(ERROR_INVALID_HANDLE);
  *info = t.screen->Info(t.cursor, DefaultAttributes);
  return TRUE;
}

BOOL WriteOutput(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD origin,
                 SMALL_RECT* region) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (!IsOpenOutput(t, handle)) return FailWith(ERROR_INVALID_HANDLE);
  t.screen->Write(cells, size, origin, region);
  RenderRows(t, region->Left, region->Top, region->Right, region->Bottom);
  return TRUE;
}

BOOL Scroll(HANDLE handle, const SMALL_RECT* scroll, const SMALL_RECT* clip, COORD destination,
            const CHAR_INFO* fill) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (!IsOpenOutput(t, handle)) return FailWith(ERROR_INVALID_HANDLE);
  const SMALL_RECT bounds = clip != nullptr ? *clip : *scroll;
  t.screen->Scroll(*scroll, bounds, destination, *fill);
  const SHORT right = static_cast<SHORT>(t.screen->Columns() - 1);
  const SHORT bottom = static_cast<SHORT>(t.screen->Rows() - 1);
  const bool wholeScreenUpOne = scroll->Left <= 0 && scroll->Top <= 0 && scroll->Right >= right &&
                                scroll->Bottom >= bottom && bounds.Left <= 0 && bounds.Top <= 0 &&
                                bounds.Right >= right && bounds.Bottom >= bottom &&
                                destination.X == scroll->Left && destination.Y == scroll->Top - 1;
  if (wholeScreenUpOne) {
    // The terminal's own scroll, so the top row goes into its scrollback.
    t.renderer->ScrollUp(bottom, fill->Attributes);
    t.painted = true;
    FlushIfLarge(t);
  } else {
    RenderRows(t, std::max<int>(bounds.Left, 0), std::max<int>(bounds.Top, 0),
               std::min<int>(bounds.Right, right), std::min<int>(bounds.Bottom, bottom));
  }
  return TRUE;
}

BOOL SetCursor(HANDLE handle, COORD position) {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (!IsOpenOutput(t, handle)) return FailWith(ERROR_INVALID_HANDLE);
  if (!t.screen->Contains(position.X, position.Y)) return FailWith(ERROR_INVALID_PARAMETER);
  t.cursor = position;
  t.cursorColumn = position.X;
  t.renderer->MoveCursor(position.X, position.Y);
  FlushIfLarge(t);
  return TRUE;
}

void ShowPending() {
  Terminal& t = Tty();
  std::unique_lock guard(t.lock, std::defer_lock);
  if (t.fd >= 0 && guard.try_lock_for(1s)) Flush(t);
}

BOOL Bell() {
  Terminal& t = Tty();
  std::lock_guard guard(t.lock);
  if (t.fd < 0 || !t.outputOpen) return FailWith(ERROR_INVALID_HANDLE);
  t.renderer->Bell();
  Flush(t);
  return TRUE;
}

BOOL ReadInput(HANDLE handle, INPUT_RECORD* records, DWORD count, DWORD* read) {
  Terminal& t = Tty();
  if (read != nullptr) *read = 0;
  if (count == 0) return FailWith(ERROR_INVALID_PARAMETER);
  bool timedOut = false;
  for (;;) {
    {
      std::lock_guard guard(t.lock);
      if (handle != InputHandle || !t.inputOpen) return FailWith(ERROR_INVALID_HANDLE);
      if (!t.events.empty()) {
        records[0] = t.events.front();
        t.events.pop_front();
        if (read != nullptr) *read = 1;
        return TRUE;
      }
      const DecodedKey key = DecodeKey(t.input, timedOut);
      timedOut = false;
      if (key.consumed > 0) {
        t.input.erase(0, key.consumed);
        if (key.hasRecord) t.events.push_back(key.record);
        continue;
      }
      Flush(t);  // everything painted is visible before we wait
    }
    pollfd ready[2] = {{t.fd, POLLIN, 0}, {t.wake[0], POLLIN, 0}};
    const int waited = ::poll(ready, t.wake[0] >= 0 ? 2 : 1, t.input.empty() ? -1 : EscapeWaitMs);
    if (waited < 0 && errno == EINTR) continue;
    if (waited < 0) return FailWith(ErrorFromErrno(errno));
    if (waited == 0) {
      timedOut = true;
      continue;
    }
    if ((ready[1].revents & POLLIN) != 0) {
      char drain[64];
      while (::read(t.wake[0], drain, sizeof drain) > 0) {
      }
    }
    if ((ready[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
      char buffer[256];
      const ssize_t n = ::read(t.fd, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // The terminal hung up: no key will ever come.
      if (n <= 0) return FailWith(n == 0 ? ERROR_BROKEN_PIPE : ErrorFromErrno(errno));
      std::lock_guard guard(t.lock);
      t.input.append(buffer, static_cast<std::size_t>(n));
    }
  }
}

void Resized() {
  Terminal& t = Tty();
  {
    std::lock_guard guard(t.lock);
    if (t.fd < 0) return;
    const COORD size = TerminalSize(t.fd);
    t.screen->Resize(size.X, size.Y, DefaultAttributes);
    KeepCursorOnScreen(t);
    t.renderer->Forget();
    INPUT_RECORD record{};
    record.EventType = WINDOW_BUFFER_SIZE_EVENT;
    record.Event.WindowBufferSizeEvent.dwSize = size;
    t.events.push_back(record);
  }
  if (t.wake[1] >= 0) {
    const char signal = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(t.wake[1], &signal, 1);
  }
}

void RestoreForExit() {
  Terminal& t = Tty();
  std::unique_lock guard(t.lock, std::defer_lock);
  // A thread stuck while holding the lock must not keep the terminal raw.
  const bool locked = guard.try_lock_for(1s);
  if (t.fd < 0) return;
  if (locked) FinishOutput(t);
  RestoreMode(t);
}

void RestoreFromSignal() {
  Terminal& t = Tty();
  if (t.fd < 0) return;
  if (t.modeChanged.exchange(false)) ::tcsetattr(t.fd, TCSANOW, &t.saved);
  if (t.painted.exchange(false)) {
    static const char reset[] = "\x1b[0m\r\n";
    const bool midRow = t.cursorColumn.load() != 0;
    [[maybe_unused]] const ssize_t ignored =
        ::write(t.fd, reset, midRow ? sizeof reset - 1 : sizeof reset - 3);
  }
}

}  // namespace win::posix::terminal
