#pragma once

#include <fstream>
#include <mutex>
#include <string>

// The process-wide log: one file per run under "logs/" in the working
// directory, named by the run's start time. Old files are rotated away so the
// folder keeps at most 150 earlier runs.
class Logger
{
public:
    enum E_LOG_LEVEL { DEBUG = 0, INFO = 1, WARNING = 2, ERROR = 3, CRITICAL = 4 };

    Logger();
    ~Logger();
    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

    // Writes "[time] LEVEL: message" and flushes; safe from any thread.
    void log(int level, const std::string &message);

    static std::string levelName(int level);

    // Deletes the oldest files of a log folder so that, counting "." and ".."
    // as a directory listing does, no more than 152 entries remain. Only the
    // files directly in the folder are listed; subfolders are left alone.
    static void rotate(const std::string &directory);

    bool isOpen() const { return m_file.is_open(); }
    const std::string &fileName() const { return m_fileName; }

private:
    std::ofstream m_file;
    std::string m_fileName;
    std::mutex m_mutex;
};

extern Logger logger;
