#pragma once

#include "settings/common.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"

#include <QApplication>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// Shared set-up of the benchmarks.
namespace BenchSupport {

// The simplest reader a user could write for a native trace file: the whole
// file in memory, every line without a colon parsed as "x y" with
// std::from_chars into two vectors. The yardstick the program's own reading
// is measured against.
template <class Vector>
bool readColumnsFromChars(const char *path, Vector &xs, Vector &ys)
{
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return false;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<char> bytes(static_cast<size_t>(size));
    const bool whole = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!whole)
        return false;
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = eol ? eol : end;
        if (!std::memchr(p, ':', size_t(lineEnd - p))) {
            double x = 0, y = 0;
            const char *q = p;
            while (q < lineEnd && space(*q))
                ++q;
            q = std::from_chars(q, lineEnd, x).ptr;
            while (q < lineEnd && space(*q))
                ++q;
            std::from_chars(q, lineEnd, y);
            xs.push_back(x);
            ys.push_back(y);
        }
        p = lineEnd + 1;
    }
    return true;
}

// Widgets need an application object; the benchmarks run offscreen.
inline void ensureApplication()
{
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
}

// A 1,000,000-point profile trace, 0.1 µm apart (100 mm), cut-off 800 µm.
inline std::unique_ptr<ProfileTrace> millionPointTrace()
{
    auto trace = std::make_unique<ProfileTrace>();
    trace->cutOff = 800;
    unsigned state = 1;
    for (int i = 0; i < 1000000; ++i) {
        const double x = i * 0.1;
        state = state * 1664525u + 1013904223u;
        const double noise = (state >> 8) / double(1 << 24) - 0.5;
        QVector<double> point { x,
            0.8 * std::sin(x / 14.3) + 0.3 * std::sin(x / 5.9 + 1) + 5 * std::sin(x / 477.0) + 0.2 * noise };
        trace->addPoint(point);
    }
    return trace;
}

// Every one of the 56 surface-texture parameters is displayed.
inline void enableAllParams()
{
    Settings::instance().preferenses.enabled_params = kParamIndexNames;
    Settings::instance().preferenses.enabled_params_count = kParamIndexNames.size();
}

// A 1,000,000-point contour, 0.1 µm apart (100 mm): a wavy profile with a
// round shoulder, as a long contour trace looks. Its processed data is built
// under the settings current when it is called.
inline std::unique_ptr<ContourTrace> millionPointContour()
{
    QVector<QVector<double>> columns(3);
    for (auto &c : columns)
        c.reserve(1000000);
    for (int i = 0; i < 1000000; ++i) {
        const double x = i * 0.1;
        const double d = x - 50000;
        columns[0] << x;
        columns[1] << (std::abs(d) < 20000 ? std::sqrt(20000.0 * 20000 - d * d) : 0) + 3 * std::sin(x / 37.0);
        columns[2] << 0;
    }
    auto trace = std::make_unique<ContourTrace>(columns);
    trace->recalculate();
    return trace;
}

} // namespace BenchSupport
