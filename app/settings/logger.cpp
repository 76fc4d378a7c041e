#include "settings/logger.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string formatNow(const char *pattern)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    const size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
    return std::string(buffer, n);
}

constexpr size_t kMaxListingEntries = 152;  // "." and ".." plus 150 files

} // namespace

Logger logger;

Logger::Logger()
{
    m_fileName = formatNow("logs/%Y_%m_%d_%H_%M_%S.txt");
    std::error_code ec;
    fs::create_directory("logs", ec);
    rotate((fs::current_path(ec) / "logs").string());

    m_file.open(m_fileName, std::ios::out | std::ios::trunc);
    m_file.close();
    m_file.open(m_fileName, std::ios::out | std::ios::app);
    if (!m_file.is_open())
        std::cerr << "Error opening log file." << std::endl;
}

Logger::~Logger()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file.is_open())
        m_file.close();
}

void Logger::rotate(const std::string &directory)
{
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            files.push_back(it->path());
    }
    const size_t entries = files.size() + 2;
    if (entries <= kMaxListingEntries)
        return;
    std::sort(files.begin(), files.end(), [](const fs::path &a, const fs::path &b) {
        return a.filename().string() < b.filename().string();
    });
    const size_t excess = entries - kMaxListingEntries;
    for (size_t i = 0; i < excess; ++i) {
        std::error_code removeError;
        fs::remove(files[i], removeError);  // a file that cannot go is passed over
    }
}

std::string Logger::levelName(int level)
{
    switch (level) {
    case DEBUG: return "DEBUG";
    case INFO: return "INFO";
    case WARNING: return "WARNING";
    case ERROR: return "ERROR";
    case CRITICAL: return "CRITICAL";
    default: return "UNKNOWN";
    }
}

void Logger::log(int level, const std::string &message)
{
    const std::string line = "[" + formatNow("%Y-%m-%d %H:%M:%S") + "] " + levelName(level) + ": " + message + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file.is_open())
        return;
    m_file << line;
    m_file.flush();
}
