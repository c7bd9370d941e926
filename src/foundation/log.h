// Log.txt in the working folder: one stream, one mutex, whole lines flushed one by one. Every
// thread logs. Lines are dropped while the log is not open (before gf_openLog, after gf_closeLog).
// No other lock is taken while the log mutex is held.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Keeps the two older logs as Log0.txt and Log00.txt, opens Log.txt (truncating) and writes the
// header line. Throws std::runtime_error "Failed to write file Log.txt" when it cannot be opened
// or its header written (a full disk), std::filesystem::filesystem_error when a backup copy
// fails. Called by the application entry through gf_openLogOrFallback.
void gf_openLog();
// gf_openLog, and when the working folder cannot take Log.txt (read-only, full), the same in the
// fallback folder (made when missing), whose log then says first why it is there. False when
// neither could be opened: the program runs without a log.
bool gf_openLogOrFallback(const std::filesystem::path& fallbackFolder);
// The file of the open log; empty while the log is closed.
std::filesystem::path gf_logPath();
// Closes the log under its lock; later lines are dropped. Called at the end of the program.
void gf_closeLog();
bool gf_logIsOpen();

// Keeps two previous copies of a file: name0 is copied over name00, then the file over name0 (a
// "0" inserted before the last '.' of the whole path text). No '.' in the path: nothing happens.
void gf_backupFile(const std::filesystem::path& file);

void gf_log(std::string_view text);          // the text
void gf_logError(std::string_view text);     // "===> " + text
void gf_logIndented(std::string_view text);  // ten blanks + text
// As gf_log, but nothing while g_stopRequested or g_exitRequested is set.
void gf_logIfActive(const std::string& text);
