#include "app/screen_messages.h"

#include <cstdint>

#include "app/settings.h"
#include "console/console.h"
#include "platform/console.h"
#include "platform/system.h"
#include "program/program.h"
#include "program/version.h"
#include "regex/engines.h"
#include "runtime/process.h"
#include "text/conversions.h"
#include "text/text_stream.h"

namespace {

// The banner and the syntax lines appear at most once per process, whichever of
// the run flow, a mode or the error exit asks first.
bool BannerShown = false;
bool SyntaxShown = false;

std::string BannerPart() {
  if (!Settings.InputFile.empty()) return FileBaseName(Settings.InputFile);
  if (Settings.HelpRequested) return "-?: help page";
  return "std input, ^Z to abort";
}

// A search text with a carriage return would garble a one-line echo.
std::string PairEchoText(std::int32_t number, const std::string& search,
                         const std::string& replace) {
  std::string text = IntToDecimal(number);
  if (search.find('\r') != std::string::npos) {
    text += " --- search\r\n";
    text += search;
    text += "\r\n  --- replace\r\n";
    text += replace;
    text += "\r\n=====";
  } else {
    text += ": ";
    text += search;
    text += "=";
    text += replace;
  }
  return text;
}

void WriteStatusLine(std::string_view text) {
  WriteAndAdvance(text, kStatusColour);
}

std::string ShortVersionText() {
  return "v" + std::string(kProgramShortVersion);
}

std::string EngineLine(const RegexEngineFacts& engine) {
  return engine.name + " " + engine.version + (engine.jit ? ", JIT on" : ", JIT off");
}

}  // namespace

std::string BannerText() {
  return "Quorve tool " + ShortVersionText() + "  (" + BannerPart() + ")";
}

std::vector<std::string> PairEchoTexts() {
  std::vector<std::string> texts;
  if (!SearchList || !ReplaceList) return texts;
  std::int32_t count = SearchList->Count();
  texts.reserve(static_cast<std::size_t>(count));
  for (std::int32_t index = 0; index < count; ++index) {
    texts.push_back(
        PairEchoText(index + 1, SearchList->Strings(index), ReplaceList->Strings(index)));
  }
  return texts;
}

std::vector<std::string> SyntaxTexts() {
  return {"Syntax: quorve [options] search=replace [search=replace] filename",
          "        quorve -? for help"};
}

const std::vector<std::string>& HelpPageLines() {
  static const std::vector<std::string> kLines = {
      "",
      "Options include (" + ShortVersionText() + ")",
      "-c (--case_sensitive)\tdefault is not case sensitive",
      "-q (--quiet)\tshow less on screen",
      "-l (--line-by-line)\tdo search replace line-by-line (useful for huge files)",
      "-r (--regexp)\tsearch is a regexp replaced by regexp",
      "-m (--match)\toutput only matched lines from regexp above",
      "-w (--write)\toverwrite input file with replaced content",
      "--unix\tunix newline (\\n instead of \\r\\n)",
      "",
      "-h=header (--header)\tadd row(s) at top",
      "-f=footer (--footer)\tadd row(s) at bottom",
      "-o=output (--out)\toutput to file, default is input file changed! (with -w flag)",
      "-m=regexp (--match)\tonly regexpr matched input lines",
      "-n=number (--number-of-lines)\tonly first n lines (only with -l flag)",
      "-k=number (--occurrence)\tonly replace n match (default all)",
      "-0[=x01]  (--zero)\tallow hex00 in textfile, replaced with \\x01 at fileread (default "
      "\\x01)",
      "",
      "search is the string to search for and replace with replace string",
      "many search/replace pairs can be defiend",
      "if search or replace is a file, the content from that file is used",
      "search/replace string can include (not in --regexp):",
      "\\n  = new line       #10",
      "\\r  = carrige return #13",
      "\\t  = tab char       #9",
      "\\z  = end-of-file    #26",
      "\\x00= character with hexcode 00, 2 characters! (only uppercase)",
      "\\s00= n spaces, n=2 character hex number, (\\sFF=256 spaces, only uppercase)",
      "\\\\  = \\",
      "\\'  = '",
      "\\q  = \" (also in --regexp) (or \\!)",
      "\\e  = = (equal sign, also in --regexp)",
      "",
      "https://en.wikipedia.org/wiki/Regular_expression",
      "",
      "Latest version from: https://quorve.example.org/",
      "Feedback: quorve@example.org (subject: quorve feedback)",
      "",
      "--keep-eol\tkeep the input's own line ends (LF, CR LF or CR); --unix wins",
      "--version\tshow the version and the regular-expression engines, then stop",
      "--diff\twrite nothing; show what would change as a unified diff (for patch)",
      "--stats\tafter the run: replacements per pair and lines changed, on standard error",
      "--must-match\texit code 2, and no file written, when no pair matched anything",
      "-k=n\teach pair replaces only its first n matches (per line with -l); 0: all",
      "-\tas input: standard input; as output (or -o=-): standard output; ./- is a file "
      "(e.g. ls | quorve a=b -)",
      "*, ?\tin an input name: each matching file of its folder, in name order (e.g. "
      "quorve -w a=b \"*.txt\")",
      "--\tevery argument after it is an input file name (e.g. quorve -w a=b -- x=y.txt "
      "b.txt)",
      "--files-from=list\tinput file names from the list, one a line, - for standard input "
      "(e.g. find . -name \"*.c\" | quorve -w a=b --files-from=-)",
      "--recursive\ta folder name or wildcard takes in every folder below too, not those "
      "starting with . (e.g. quorve -w --recursive a=b src)",
      "--jobs=n\tfiles processed at once, default one per processor, four with -w (e.g. "
      "--jobs=1); a binary file (byte 0 in its first 64 KiB) is skipped unless -0",
      "",
      "exit codes: 0 done, 1 failure, 2 nothing matched (only with --must-match)",
      "",
      "in a UTF-8 locale letters beyond ASCII ignore case too (Unicode simple case folding):",
      "in plain searches, and under (?i) in --regexp where written as letters;",
      "a class [...] and a repeated last byte of a letter keep their byte meaning",
  };
  return kLines;
}

std::vector<std::string> VersionLines() {
  std::vector<std::string> lines = {"quorve " + std::string(kProgramVersion)};
  for (const RegexEngineFacts& engine : RegexEngines()) lines.push_back(EngineLine(engine));
  return lines;
}

void ShowBanner() {
  if (BannerShown) return;
  WriteStatusLine(BannerText());
  BannerShown = true;
  if (Settings.Quiet) return;
  for (const std::string& echo : PairEchoTexts()) WriteStatusLine(echo);
}

void ShowSyntax() {
  ShowBanner();
  if (SyntaxShown) return;
  for (const std::string& line : SyntaxTexts()) WriteStatusLine(line);
  SyntaxShown = true;
}

void ShowHelp() {
  ShowBanner();
  for (const std::string& line : HelpPageLines()) WriteTextLine(OutputText(), line);
  FlushText(OutputText());
  CheckStreamError();
  EndProcess(0);
}

// Lines for scripts to read, so they end as the system's text files do (unlike the
// help page, whose CR LF line ends are kept as they always were).
void ShowVersion() {
  std::string text;
  for (const std::string& line : VersionLines()) {
    text += line;
    text += platform::NativeLineEnd();
  }
  WriteTextBytes(OutputText(), text);
  FlushText(OutputText());
  CheckStreamError();
  EndProcess(0);
}

void ShowOutputFileInstead(const std::string& outputs) {
  WriteAndAdvance("In Line-by-line mode output file must be set!", kStatusColour);
  WriteAndAdvance("Outputs to: " + outputs, kStatusColour);
}

void ShowWaitingFor(const std::string& file) {
  WriteStatusLine("Waiting while another run writes " + file);
}

void FailWith(std::string_view message) {
  ShowBanner();
  std::string line = "Error: ";
  line += message;
  // The message may carry a file name: a terminal must not take it for controls.
  WriteTextLine(OutputText(), platform::TextForStream(HandleBehind(OutputText()), line));
  EndProcess(1);
}
