// The progress bar on standard error and the Ctrl-C handling that rides on the same libcurl
// callback: the tool installs ProgressCallback on every client, so a Ctrl-C during any request
// makes the callback ask libcurl to stop, and the library returns its failure code cleanly.
#pragma once

#include <string>

namespace rktool {

enum class Direction { Download, Upload };

// Starts drawing for the next transfers when show is true; label names what moves. Every HTTP
// request also uploads its form, so the bar follows one direction only. offset: the bytes
// already there when a transfer resumes (libcurl counts from it).
void BeginProgress(bool show, const std::string& label, Direction direction, double offset = 0);
// A new offset for the transfer that follows (a retried resume starts where the last try
// stopped).
void SetProgressOffset(double offset);
// Puts the summary line (size, time, rate) in place of the progress line once bytes moved.
void FinishProgress();

// libcurl's progress shape: client data, download total and now, upload total and now.
int ProgressCallback(void* clientData, double downloadTotal, double downloadNow, double uploadTotal,
                     double uploadNow);

}  // namespace rktool
