// The log file: each append converts LF to CR LF, stamps a new line with the
// milliseconds since the log began, indents it one tab a level, and copies the
// text to the debugger output. The file is opened and closed for every append,
// so the log survives a crash up to its last line. Texts are Shift-JIS bytes.
#pragma once

namespace qz {

// 0 switches all output off (nothing reaches the file or the debugger).
int SetLogOutputEnabled(int enabled);
int IsLogOutputEnabled();
// Empties the log file and resets indent, open line and start time.
int StartLogFile();
// Always -1, so failure paths can return it.
int AppendLogText(const char* text);
// printf-style; appends "\n"; truncates past 2048 bytes. Always -1.
int AppendLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();

// The log folder (the start directory unless set) and name options.
int SetLogFolder(const char* folder);
const char* GetLogFolder();
int SetLogDatedName(int enabled);
int SetLogNoStamp(int enabled);

}  // namespace qz
