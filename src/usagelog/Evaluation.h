#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// The usage-study log of a run: coded, time-stamped lines kept in memory,
// sent to the study's server when the main window closes, and stored as
// numbered pending files when the server cannot be reached.

// Creates the empty log (start-up). A log exists even before the first call,
// so that an early LogEvent never fails.
void CreateLog();
// The log's lines in the order they were written.
const QStringList& GetLog();
// Appends " " + time stamp + "," + code; "," and ";" in the code become "-".
// An empty code appends nothing.
void LogEvent(const QString& code);

// Sends the whole log with the waiting window shown: one notice and one
// retry on failure, then the pending logs after a success, or the log stored
// as a pending file after two failures. All its uploads together take at most
// twice the time-out of one.
void SendLog();
// One blocking multipart post of the text with the current user code; True
// when the server accepted it.
bool UploadLog(const QString& text);
// Stores the text as a new numbered file of the pending folder; never
// overwrites an existing file. Raises Exception when it cannot be written.
void SavePendingLog(const QString& text);
// Uploads the readable, non-empty pending logs in turn and deletes each
// accepted one. The first upload that fails ends the round; it and the logs
// after it wait for the next successful upload.
void SendPendingLogs();
// Fills the pending-name list with the names of the folder's entries that
// begin with "log" and returns their number (0 for a missing folder).
int ListLogFiles(const QString& folder);
// The names found by the last ListLogFiles.
const QStringList& PendingLogNames();

// The user's temporary folder, ending in "/".
QString GetTempDirectory();
// Creates or replaces the file with the text's bytes (UTF-8, no line ending,
// no byte-order mark). Raises Exception on failure; a file that could not be
// written whole is removed.
void WriteStringToFile(const QString& fileName, const QString& text);
// The whole file as text. Raises Exception when it cannot be opened or read,
// and, without waiting or reading, when it is not a regular file (a pipe, a
// device, a folder).
void ReadFileToString(const QString& fileName, QString& text);

// The pseudonymous user code sent with every upload; empty until IdentifyUser.
QString GetUserCode();
void SetUserCode(const QString& code);
// Reads the stored user code and role, asks for them with the identification
// dialog while no usable code is stored, stores and logs them.
QString IdentifyUser();

// The clock behind the log's time stamps; tests install a fixed one. An empty
// function restores the system clock.
using TLogClock = std::function<QDateTime()>;
void SetLogClock(TLogClock clock);
