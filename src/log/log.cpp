#include "log/log.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "base/exceptions.h"
#include "platform/files.h"
#include "platform/system.h"
#include "program/program.h"
#include "runtime/process.h"
#include "text/text_stream.h"

std::string LogFolder = platform::CurrentFolderPrefix();
std::string LoggerFile = "c:\\temp\\qz-logger-file.txt";
std::string LogTempFile = "c:\\temp\\qz-logtemp-file.txt";
std::string EventFile = "c:\\temp\\qz-logevent-file.txt";
std::string MailAddress = "quorve@example.org";
std::string MailPickupFolder = "c:\\Inetpub\\mailroot\\Pickup";
std::string WebAddress;

std::unique_ptr<TCriticalSection> EventLock;
std::unique_ptr<TLog> TheLog;

namespace {

constexpr std::string_view kWebRoot = "http://localhost/";
constexpr std::string_view kMonthlyCategories = "tab,log,err";
constexpr std::string_view kEventTimeFormat = "yyyy-mm-dd hh:nn:ss";

enum CacheMode : unsigned char { kAllLines = 0, kFilteredLines = 1 };

std::string ProgramFolderName() {
  return Token(ProgramFolder, -2, FolderSeparator(ProgramFolder));
}

// Appends to an existing file, creates a missing one. An empty name would mean
// standard output, which a log must never write to.
void OpenForAdding(TextStream& stream, const std::string& fileName) {
  if (fileName.empty()) {
    throw EInOutError(IoErrorMessage(platform::kPathNotFound), platform::kPathNotFound);
  }
  BindTextFile(stream, fileName);
  if (platform::RegularFileExists(fileName)) {
    OpenTextAppend(stream);
  } else {
    OpenTextWrite(stream);
  }
  CheckStreamError();
}

void WriteCheckedLine(TextStream& stream, std::string_view line) {
  WriteTextLine(stream, line);
  CheckStreamError();
}

void CloseChecked(TextStream& stream) {
  CloseText(stream);
  CheckStreamError();
}

// After a failure: the handle is released even when the waiting bytes cannot be written.
void AbandonStream(TextStream& stream) {
  if (stream.mode != TextStreamMode::Closed) {
    CloseText(stream);
    if (stream.mode != TextStreamMode::Closed && !stream.onStandardHandle &&
        stream.handle != platform::kInvalidHandle) {
      platform::CloseFileHandle(stream.handle);
      stream.handle = platform::kInvalidHandle;
      stream.mode = TextStreamMode::Closed;
    }
  }
  PendingStreamError() = 0;
}

bool IsBlankLine(std::string_view line) {
  for (const char byte : line) {
    if (static_cast<unsigned char>(byte) > 0x20) return false;
  }
  return true;
}

void WriteAllLines(TextStream& stream, const TStringList& cache) {
  for (std::int32_t index = 0; index < cache.Count(); ++index) {
    WriteCheckedLine(stream, cache.Strings(index));
  }
}

// Blank lines are dropped, and a "[" line only repeats when it differs from the
// previous "[" line.
void WriteFilteredLines(TextStream& stream, const TStringList& cache) {
  std::string previousBracketLine;
  for (std::int32_t index = 0; index < cache.Count(); ++index) {
    const std::string& line = cache.Strings(index);
    if (IsBlankLine(line)) continue;
    if (line.front() == '[') {
      const bool repeated = line == previousBracketLine;
      previousBracketLine = line;
      if (repeated) continue;
    }
    WriteCheckedLine(stream, line);
  }
}

void WriteCacheLines(TextStream& stream, const TStringList& cache, unsigned char mode) {
  if (mode == kAllLines) {
    WriteAllLines(stream, cache);
  } else if (mode == kFilteredLines) {
    WriteFilteredLines(stream, cache);
  }
}

void AppendNumber(std::string& out, int value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

// The number a run of one format letter stands for, and its zero-padded width.
bool FieldOf(char letter, std::size_t run, const platform::LocalDateTime& when, int& value,
             std::size_t& width) {
  // Letters whose run of two or more means two digits.
  static constexpr std::pair<char, int platform::LocalDateTime::*> kTwoDigitFields[] = {
      {'m', &platform::LocalDateTime::month},  {'d', &platform::LocalDateTime::day},
      {'h', &platform::LocalDateTime::hour},   {'n', &platform::LocalDateTime::minute},
      {'s', &platform::LocalDateTime::second},
  };
  for (const auto& [fieldLetter, field] : kTwoDigitFields) {
    if (letter != fieldLetter) continue;
    value = when.*field;
    width = run >= 2 ? 2 : 0;
    return true;
  }
  if (letter == 'y') {
    value = run >= 3 ? when.year : when.year % 100;
    width = run >= 3 ? 4 : 2;
    return true;
  }
  if (letter == 'z') {
    value = when.millisecond;
    width = run >= 2 ? 3 : 0;
    return true;
  }
  return false;
}

std::string PlainDateTime(const platform::LocalDateTime& when) {
  return std::to_string(when.year) + "-" + std::to_string(when.month) + "-" +
         std::to_string(when.day) + " " + std::to_string(when.hour) + ":" +
         std::to_string(when.minute) + ":" + std::to_string(when.second) + "." +
         std::to_string(when.millisecond);
}

}  // namespace

bool IsValidDateTime(const platform::LocalDateTime& when) {
  return when.year >= 1 && when.year <= 9999 && when.month >= 1 && when.month <= 12 &&
         when.day >= 1 && when.day <= 31 && when.hour >= 0 && when.hour <= 23 && when.minute >= 0 &&
         when.minute <= 59 && when.second >= 0 && when.second <= 59 && when.millisecond >= 0 &&
         when.millisecond <= 999;
}

std::string FormatDateTime(std::string_view format, const platform::LocalDateTime& when) {
  std::string out;
  std::size_t at = 0;
  while (at < format.size()) {
    const char letter = format[at];
    std::size_t run = 1;
    while (at + run < format.size() && format[at + run] == letter) ++run;
    int value = 0;
    std::size_t width = 0;
    if (FieldOf(letter, run, when, value, width)) {
      AppendNumber(out, value, width);
    } else {
      out.append(run, letter);
    }
    at += run;
  }
  return out;
}

std::string TimestampAt(std::string_view format, const platform::LocalDateTime& when) {
  const std::string text =
      IsValidDateTime(when) ? FormatDateTime(format, when) : PlainDateTime(when);
  return "[" + text + "]#";
}

std::string Timestamp(std::string_view format) {
  return TimestampAt(format, platform::CurrentLocalDateTime());
}

std::string_view DateStampFormatFor(std::string_view category) {
  return kMonthlyCategories.find(category) != std::string_view::npos ? "yymm" : "yymmdd";
}

TLog::TLog() {
  TabCache = std::make_unique<TStringList>();
  LogCache = std::make_unique<TStringList>();
  SqlCache = std::make_unique<TStringList>();
  DebugCache = std::make_unique<TStringList>();
  Lock = std::make_unique<TCriticalSection>();
  DefaultStem = LogFolder + ProgramName + "-" + ProgramFolderName() + "-" + ComputerName();
  TabFile = MakeFileName("tab", "");
  LogFile = MakeFileName("log", "");
  ErrFile = MakeFileName("err", "");
  SqlFile = MakeFileName("sql", "");
  DebugFile = MakeFileName("debug", "");
  LoggerFile = MakeFileName("logger", "");
  LogTempFile = MakeFileName("logtemp", "");
  EventFile = MakeFileName("event", "*");
}

TLog::~TLog() {
  SaveCache(*TabCache, TabFile, kAllLines);
  SaveCache(*LogCache, LogFile, kFilteredLines);
  SaveCache(*SqlCache, SqlFile, kAllLines);
  SaveCache(*DebugCache, DebugFile, kFilteredLines);
}

std::string TLog::MakeFileName(std::string_view category, std::string_view qualifier) const {
  std::string stem;
  if (qualifier.empty()) {
    stem = DefaultStem;
  } else if (qualifier == "*") {
    stem = LogFolder + ProgramName + "-" + ComputerName();
  } else {
    stem = LogFolder + ProgramName + "-" + std::string(qualifier) + "-" + ComputerName();
  }
  const std::string dateStamp =
      FormatDateTime(DateStampFormatFor(category), platform::CurrentLocalDateTime());
  return stem + "-" + std::string(category) + "-" + dateStamp + ".txt";
}

void TLog::SaveCache(TStringList& cache, const std::string& fileName, unsigned char mode) {
  if (cache.Count() == 0) return;
  // Neither consume nor leave behind a pending code: one from the run belongs to
  // the failure report, and one of the logger's own to nobody.
  const PendingStreamErrorSetAside runFailure;
  TextStream stream;
  std::string failure;
  try {
    OpenForAdding(stream, fileName);
    WriteCacheLines(stream, cache, mode);
    CloseChecked(stream);
    cache.Clear();
    return;
  } catch (const Exception& raised) {
    failure = raised.Message();
  } catch (const std::bad_alloc&) {
    failure = "Out of memory";
  } catch (const std::exception& raised) {
    failure = raised.what();
  }
  AbandonStream(stream);
  WriteEvent("TLog", "SaveCache Exception: " + failure);
}

void WriteEvent(std::string_view source, std::string_view message) {
  if (source.empty() && message.empty()) return;
  std::unique_lock<TCriticalSection> hold;
  if (EventLock) hold = std::unique_lock<TCriticalSection>(*EventLock);
  // Neither consume nor leave behind a pending code: one from the run belongs to
  // the failure report, and one of the logger's own to nobody.
  const PendingStreamErrorSetAside runFailure;
  TextStream stream;
  try {
    OpenForAdding(stream, EventFile);
    std::string line = Timestamp(kEventTimeFormat);
    line.append(source).append(": ").append(message);
    WriteCheckedLine(stream, line);
    CloseChecked(stream);
  } catch (...) {
    // An event that cannot be written is dropped without a trace.
    AbandonStream(stream);
  }
}

void LogShutDown() {
  TheLog.reset();
  EventLock.reset();
  for (std::string* setting : {&LoggerFile, &LogTempFile, &EventFile, &LogFolder, &MailAddress,
                               &MailPickupFolder, &WebAddress}) {
    setting->clear();
    setting->shrink_to_fit();
  }
}

void LogStartUp() {
  EventLock = std::make_unique<TCriticalSection>();
  TheLog.reset();
  // Registered first, so that the lock is freed even when creating the logger fails.
  AddShutdownStep(LogShutDown);
  LogFolder = platform::DefaultLogFolder();
  WebAddress = std::string(kWebRoot) + ProgramFolderName();
  TheLog = std::make_unique<TLog>();
}
