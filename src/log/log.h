// The category logger: four caches written to dated files at shutdown, and an
// event file appended under a lock. The tool itself logs nothing.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/system.h"
#include "text/string_list.h"

extern std::string LoggerFile;
extern std::string LogTempFile;
extern std::string EventFile;
extern std::string LogFolder;
extern std::string MailAddress;
extern std::string MailPickupFolder;
extern std::string WebAddress;

using TCriticalSection = std::mutex;

class TLog {
 public:
  TLog();
  virtual ~TLog();

  std::string MakeFileName(std::string_view category, std::string_view qualifier) const;
  // Mode 0: all lines; 1: filtered; anything else: none. Failures go to the event file.
  void SaveCache(TStringList& cache, const std::string& fileName, unsigned char mode);

  std::unique_ptr<TCriticalSection> Lock;
  std::string DefaultStem;
  std::string ErrFile;
  std::string TabFile;
  std::unique_ptr<TStringList> TabCache;
  std::string LogFile;
  std::unique_ptr<TStringList> LogCache;
  std::string SqlFile;
  std::unique_ptr<TStringList> SqlCache;
  std::string DebugFile;
  std::unique_ptr<TStringList> DebugCache;
};

extern std::unique_ptr<TCriticalSection> EventLock;
extern std::unique_ptr<TLog> TheLog;

void LogStartUp();  // registers LogShutDown
void LogShutDown();
void WriteEvent(std::string_view source, std::string_view message);
std::string Timestamp(std::string_view format);

// "[" + the time formatted + "]#"; the fallback forms when the time cannot be formatted.
std::string TimestampAt(std::string_view format, const platform::LocalDateTime& when);
// Formats a local time: yyyy (or yy), mm, dd, hh, nn, ss, zzz; a single letter gives the
// number without leading zeros. Other bytes are copied.
std::string FormatDateTime(std::string_view format, const platform::LocalDateTime& when);
bool IsValidDateTime(const platform::LocalDateTime& when);
// "yymm" (one file a month) for a category inside "tab,log,err", else "yymmdd".
std::string_view DateStampFormatFor(std::string_view category);
