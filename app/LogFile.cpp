// orvane's log file: escaped messages, whole lines, a failed write told once on standard error.
#include "app/LogFile.h"

#include "foundation/StringUtils.h"

#include <log4cpp/Layout.hh>
#include <log4cpp/LoggingEvent.hh>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace program {

std::string LogLineText(const std::string& message)
{
    std::string_view text(message);
    text = text.substr(0, kMaxLogMessageBytes);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return EscapedText(text);
}

LogFileAppender::LogFileAppender(const std::string& name, int fd, std::string path)
    : LayoutAppender(name), fd_(fd), path_(std::move(path))
{
}

LogFileAppender::~LogFileAppender()
{
    close();
}

void LogFileAppender::close()
{
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

void LogFileAppender::_append(const log4cpp::LoggingEvent& event)
{
    if (fd_ < 0) return;
    log4cpp::LoggingEvent escaped(event.categoryName, LogLineText(event.message), event.ndc, event.priority);
    escaped.timeStamp = event.timeStamp;
    const std::string line = _getLayout().format(escaped);
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // A full disk or a lost device: the program runs on; the user hears of it once.
        const int error = n < 0 ? errno : ENOSPC;
        if (!failureTold_.exchange(true))
            std::fprintf(stderr, "orvane: cannot write the log file %s (%s); lines from here on may be missing\n",
                         path_.c_str(), std::strerror(error));
        return;
    }
}

}  // namespace program
