#pragma once

#include <QtTest>
#include <cmath>

// Relative comparison of doubles shared by all tests: |a - b| <= rel * max(|a|, |b|, floor).
inline bool fuzzyEqual(double actual, double expected, double rel = 1e-9, double floor = 1e-12)
{
    if (!std::isfinite(actual) || !std::isfinite(expected))
        return actual == expected;
    const double scale = std::max({std::abs(actual), std::abs(expected), floor});
    return std::abs(actual - expected) <= rel * scale;
}

#define QCOMPARE_REL(actual, expected, rel)                                                        \
    do {                                                                                           \
        const double a_ = (actual), e_ = (expected);                                               \
        if (!fuzzyEqual(a_, e_, (rel)))                                                            \
            QFAIL(qPrintable(QStringLiteral("%1 = %2, expected %3 (relative tolerance %4)")        \
                                 .arg(#actual).arg(a_, 0, 'g', 17).arg(e_, 0, 'g', 17).arg(rel))); \
    } while (false)
