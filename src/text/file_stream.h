// File streams for whole-file load and save; unlike text streams they raise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "platform/files.h"

// A read that failed part-way: loading goes no further rather than taking a
// shortened text for the whole file.
QUORVE_FAILURE_CLASS(EReadError, EFilerError);

class TFileStream {
 public:
  virtual ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Reads up to count bytes; a failed read counts as having read nothing
  // (ReadFailure() then holds its code).
  std::size_t Read(char* buffer, std::size_t count);
  // Writes up to count bytes, returns how many were taken.
  std::size_t Write(const char* data, std::size_t count);
  std::uint64_t Size();  // 0 when it cannot be had
  std::uint64_t Position();
  void SeekTo(std::uint64_t position);
  // Makes the written bytes the file's content (a replacement is renamed over its
  // target); without it the destructor throws the bytes away. Raises on failure.
  void Commit();
  // A replacement's rename is made durable by the caller (platform::FlushFolderOf),
  // once for the files of a folder, rather than by Commit.
  void LeaveFolderFlushToCaller() { file_.folderFlushedLater = true; }
  // Code of the last failed read, 0 when none failed.
  platform::ErrorCode ReadFailure() const { return readFailure_; }

 protected:
  friend std::unique_ptr<TFileStream> FileStreamOpen(const std::string&);
  friend std::unique_ptr<TFileStream> FileStreamCreate(const std::string&);
  friend std::unique_ptr<TFileStream> FileStreamOnStandardInput();
  TFileStream() = default;
  bool borrowed_ = false;  // a handle the process owns (standard input): never closed
  platform::ReplacementFile file_;
  bool replacing_ = false;
  bool committed_ = false;
  platform::ErrorCode readFailure_ = 0;
};

// Opens the file for reading; others may read it meanwhile but not write it.
// EFOpenError "Cannot open file "%s". %s" when the file cannot be opened.
std::unique_ptr<TFileStream> FileStreamOpen(const std::string& fileName);
// Reads standard input as the file (a pipe, a file or a terminal); it stays open.
// EFOpenError when the process has no standard input.
std::unique_ptr<TFileStream> FileStreamOnStandardInput();
// Creates the file (through a replacement beside it, see platform::BeginReplacement);
// EFCreateError "Cannot create file "%s". %s" when it cannot be created.
std::unique_ptr<TFileStream> FileStreamCreate(const std::string& fileName);
// A failed commit's message, with the name of the backup that still holds the
// original when a rewrite in place could not put it back (the user must learn where).
std::string WithKeptBackup(std::string message, const std::string& keptBackup);
// All bytes or EWriteError "Stream write error".
void WriteAll(TFileStream& stream, std::string_view bytes);

// The bytes from the stream's position to its end, in one buffer filled by one read
// (no byte is initialised twice). A file that shrank meanwhile gives what it still
// held; a failing read raises EReadError "Stream read error".
struct TFileBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  char* begin() const { return data.get(); }
  char* end() const { return data.get() + size; }
  std::string_view View() const { return {data.get(), size}; }
};
TFileBytes ReadRemaining(TFileStream& stream);
