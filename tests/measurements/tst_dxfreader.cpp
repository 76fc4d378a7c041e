#include "support/fuzzy.h"
#include "support/sanitized.h"
#include "support/testmain.h"

#include "dxftestfiles.h"
#include "measurements/dxfdrawing.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <sys/resource.h>

using DxfText::file;

Q_DECLARE_METATYPE(QVector<double>)

// Writes text into a file of the folder; returns its path.
static QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return f.fileName();
}

static QStringList lines(int n)
{
    return QVector<QString>(n, QStringLiteral("AcDbLine")).toList();
}

class TestDxfReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entities_data();
    void entities();
    void lineMarkers_data();
    void lineMarkers();
    void arcMarkers();
    void roundMarkersAreFinite_data();
    void roundMarkersAreFinite();
    void malformedNumbersRefused_data();
    void malformedNumbersRefused();
    void malformedInputEndsQuickly_data();
    void malformedInputEndsQuickly();
    void randomBytes();
    void readFile();
    void entityBound_data();
    void entityBound();
    void refusedDrawingTakesLittleMemory();
};

// Every entity of a drawing read from one DXF text, in reading order: type,
// parameters (flattened) and the total marker count.
void TestDxfReader::entities_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<int>("markers");

    const QStringList line1 { "AcDbLine" };
    QTest::newRow("line in µm") << file(DxfText::line(0, 0, 10, 5)) << 1000.0 << line1
                                << QVector<double> { 0, 0, 10000, 5000 } << 12;
    QTest::newRow("arc 0..90") << file(DxfText::arc(0, 0, 2, 0, 90)) << 1.0 << QStringList { "AcDbCircle" }
                               << QVector<double> { 0, 0, 2, 0, 90 } << 13;
    QTest::newRow("arc through 0°") << file(DxfText::arc(1, 1, 3, 300, 60)) << 1.0 << QStringList { "AcDbCircle" }
                                    << QVector<double> { 1, 1, 3, 300, 60 } << 13;
    QTest::newRow("arc angles beyond a turn")
        << file(DxfText::arc(0, 0, 1, -90, 450)) << 1.0 << QStringList { "AcDbCircle" }
        << QVector<double> { 0, 0, 1, 270, 90 } << 13;
    QTest::newRow("circle in µm") << file(DxfText::circle(1.5, -2, 0.25)) << 1000.0 << QStringList { "AcDbCircle" }
                                  << QVector<double> { 1500, -2000, 250, -1, -1 } << 26;
    QTest::newRow("ellipse along x") << file(DxfText::ellipse(5, 5, 4, 0, 0.5)) << 1.0 << QStringList { "AcDbEllipse" }
                                     << QVector<double> { 5, 5, 4, 2 } << 26;
    QTest::newRow("ellipse along y") << file(DxfText::ellipse(5, 5, 0, 4, 0.5)) << 1.0 << QStringList { "AcDbEllipse" }
                                     << QVector<double> { 5, 5, 2, 4 } << 26;
    QTest::newRow("ellipse pointing left") << file(DxfText::ellipse(0, 0, -4, 0, 0.25)) << 1.0
                                           << QStringList { "AcDbEllipse" } << QVector<double> { 0, 0, 4, 1 } << 26;

    const QVector<QPointF> square { { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } };
    QTest::newRow("closed polyline") << file(DxfText::polyline(square, 1)) << 1.0 << lines(4)
                                     << QVector<double> { 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 0, 0, 1 } << 48;
    QTest::newRow("open polyline") << file(DxfText::polyline(square, 0)) << 1.0 << lines(3)
                                   << QVector<double> { 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1 } << 36;
    // Flag 128 (line-type generation) does not close a polyline.
    QTest::newRow("polyline flag 128") << file(DxfText::polyline(square, 128)) << 1.0 << lines(3)
                                       << QVector<double> { 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1 } << 36;
    QTest::newRow("polyline without count, then a line")
        << file(DxfText::polyline({ { 0, 0 }, { 2, 0 }, { 2, 2 } }, 0, false) + DxfText::line(5, 5, 6, 6)) << 1.0
        << lines(3) << QVector<double> { 0, 0, 2, 0, 2, 0, 2, 2, 5, 5, 6, 6 } << 36;

    QTest::newRow("header with its own ENDSEC")
        << file(DxfText::line(1, 2, 3, 4), true) << 1.0 << line1 << QVector<double> { 1, 2, 3, 4 } << 12;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF" + file(DxfText::line(1, 2, 3, 4))) << 1.0
                                           << line1 << QVector<double> { 1, 2, 3, 4 } << 12;
    QTest::newRow("CRLF") << DxfText::crlf(file(DxfText::circle(0, 0, 1) + DxfText::line(1, 2, 3, 4), true)) << 1.0
                          << QStringList { "AcDbCircle", "AcDbLine" } << QVector<double> { 0, 0, 1, -1, -1, 1, 2, 3, 4 }
                          << 38;
    // A value that looks like a sought code is a value all the same.
    QTest::newRow("thickness of 10") << file(DxfText::circle(7, 8, 2, DxfText::pair(39, "10"))) << 1.0
                                     << QStringList { "AcDbCircle" } << QVector<double> { 7, 8, 2, -1, -1 } << 26;
    QTest::newRow("POINT is skipped") << file(DxfText::point(3, 3) + DxfText::line(0, 0, 1, 0)) << 1.0 << line1
                                      << QVector<double> { 0, 0, 1, 0 } << 12;

    // A LINE without its 21 reads it as 0 and leaves the next entity whole.
    QByteArray noY2 = DxfText::line(1, 2, 3, 4);
    noY2.replace(DxfText::pair(21, "4"), "");
    QTest::newRow("missing code") << file(noY2 + DxfText::circle(9, 9, 1)) << 1.0
                                  << QStringList { "AcDbLine", "AcDbCircle" }
                                  << QVector<double> { 1, 2, 3, 0, 9, 9, 1, -1, -1 } << 38;
    // Only the numbers of the entities drawn count: a point is not drawn.
    QByteArray badPoint = DxfText::point(3, 3);
    badPoint.replace(DxfText::pair(10, "3"), DxfText::pair(10, "abc"));
    QTest::newRow("bad number of a point") << file(badPoint + DxfText::line(0, 0, 1, 0)) << 1.0 << line1
                                           << QVector<double> { 0, 0, 1, 0 } << 12;
    // A count of 2.5 takes three vertices; a bad vertex past the count does
    // not matter.
    QByteArray partCount = DxfText::polyline({ { 0, 0 }, { 1, 0 }, { 1, 1 }, { 5, 5 } }, 0);
    partCount.replace(DxfText::pair(90, "4"), DxfText::pair(90, "2.5"));
    partCount.replace(DxfText::pair(10, "5"), DxfText::pair(10, "nan"));
    QTest::newRow("count 2.5, bad vertex past it")
        << file(partCount) << 1.0 << lines(2) << QVector<double> { 0, 0, 1, 0, 1, 0, 1, 1 } << 24;
    QTest::newRow("no ENTITIES section") << QByteArray(
        DxfText::pair(0, "SECTION") + DxfText::pair(2, "HEADER") + DxfText::pair(0, "ENDSEC") + DxfText::pair(0, "EOF"))
                                         << 1.0 << QStringList() << QVector<double>() << 0;
    QByteArray cut = file(DxfText::line(1, 2, 3, 4));
    cut.truncate(cut.indexOf(" 11\n"));
    QTest::newRow("file cut inside an entity") << cut << 1.0 << line1 << QVector<double> { 1, 2, 0, 0 } << 12;
}

void TestDxfReader::entities()
{
    QFETCH(QByteArray, text);
    QFETCH(double, factor);
    QFETCH(QStringList, types);
    QFETCH(QVector<double>, params);
    QFETCH(int, markers);

    const DxfDrawing drawing = parseDxf(text, factor);
    QCOMPARE(QStringList(drawing.dxfEntityTypes.toList()), types);
    QCOMPARE(drawing.dxfEntityParams.size(), types.size());
    QVector<double> flat;
    int markerCount = 0;
    for (int i = 0; i < drawing.size(); ++i) {
        flat += drawing.dxfEntityParams[i];
        markerCount += entityMarkers(drawing.dxfEntityTypes[i], drawing.dxfEntityParams[i]).size();
    }
    QCOMPARE(flat.size(), params.size());
    for (int i = 0; i < flat.size(); ++i)
        QCOMPARE_REL(flat[i], params[i], 1e-12);
    QCOMPARE(markerCount, markers);
}

// The markers of a line: its two ends, then ten along it from its left (for
// a vertical line its lower) end; all of them lie on the line.
void TestDxfReader::lineMarkers_data()
{
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("step");

    QTest::newRow("sloped, µm") << QVector<double> { 0, 0, 10000, 5000 } << QPointF(0, 0) << QPointF(1000, 500);
    QTest::newRow("drawn right to left") << QVector<double> { 10, 1, 0, 1 } << QPointF(0, 1) << QPointF(1, 0);
    QTest::newRow("vertical") << QVector<double> { 3, 8, 3, -2 } << QPointF(3, -2) << QPointF(0, 1);
}

void TestDxfReader::lineMarkers()
{
    QFETCH(QVector<double>, params);
    QFETCH(QPointF, from);
    QFETCH(QPointF, step);

    const QVector<QPointF> markers = entityMarkers(DxfType::line(), params);
    QCOMPARE(markers.size(), 12);
    QCOMPARE(markers[0], QPointF(params[0], params[1]));
    QCOMPARE(markers[1], QPointF(params[2], params[3]));
    for (int i = 0; i < 10; ++i) {
        const QPointF expected = from + step * i;
        QCOMPARE_REL(markers[2 + i].x(), expected.x(), 1e-12);
        QCOMPARE_REL(markers[2 + i].y(), expected.y(), 1e-12);
    }
}

// An arc's markers: its two ends, then eleven along its sweep, also when it
// crosses 0°.
void TestDxfReader::arcMarkers()
{
    QVector<QPointF> m = entityMarkers(DxfType::circle(), { 0, 0, 2, 0, 90 });
    QCOMPARE(m.size(), 13);
    QCOMPARE(m[0], QPointF(2, 0));
    QCOMPARE(m[1], QPointF(0, 2));
    QCOMPARE(m[7], QPointF(std::sqrt(2.0), std::sqrt(2.0)));

    m = entityMarkers(DxfType::circle(), { 0, 0, 1, 300, 60 });
    QCOMPARE(m.size(), 13);
    QCOMPARE(m[7], QPointF(1, 0)); // the middle of the sweep 300° → 60°
    for (const QPointF &p : m)
        QVERIFY2(p.x() > 0.49, "every marker lies on the right half, where the arc runs");
}

// Circles and ellipses of any shape, degenerate ones included, get 26 markers
// on their outline and never a NaN.
void TestDxfReader::roundMarkersAreFinite_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVector<double>>("params");

    QTest::newRow("circle") << DxfType::circle() << QVector<double> { 1, 1, 2, -1, -1 };
    QTest::newRow("circle of radius 0") << DxfType::circle() << QVector<double> { 1, 1, 0, -1, -1 };
    QTest::newRow("ellipse") << DxfType::ellipse() << QVector<double> { 5, 5, 4, 2 };
    QTest::newRow("ellipse along y") << DxfType::ellipse() << QVector<double> { 5, 5, 2, 4 };
    QTest::newRow("flat ellipse") << DxfType::ellipse() << QVector<double> { 0, 0, 0, 3 };
}

void TestDxfReader::roundMarkersAreFinite()
{
    QFETCH(QString, type);
    QFETCH(QVector<double>, params);

    const double a = params[2], b = type == DxfType::ellipse() ? params[3] : params[2];
    const QVector<QPointF> markers = entityMarkers(type, params);
    QCOMPARE(markers.size(), 26);
    for (const QPointF &p : markers) {
        QVERIFY(std::isfinite(p.x()) && std::isfinite(p.y()));
        const double u = a > 0 ? (p.x() - params[0]) / a : 0, v = b > 0 ? (p.y() - params[1]) / b : 0;
        if (a > 0 && b > 0)
            QVERIFY2(std::abs(u * u + v * v - 1) < 1e-12, "marker off the outline");
    }
}

// Damaged texts end without a crash and give only finite parameters.
namespace {

// The number (from 1) of the first line of text that reads `value`.
int lineOf(const QByteArray &text, const QByteArray &value)
{
    const int at = ('\n' + text).indexOf('\n' + value + '\n');
    return at < 0 ? -1 : text.left(at).count('\n') + 1;
}

QByteArray withValue(QByteArray entity, int code, const QByteArray &from, const QByteArray &to)
{
    return entity.replace(DxfText::pair(code, from), DxfText::pair(code, to));
}

} // namespace

// A number of a drawn entity that does not parse or is out of bounds refuses
// the whole text, whatever follows it: nothing is drawn, and the error names
// the line the number stands on and what is wrong with it.
void TestDxfReader::malformedNumbersRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("cause");

    const QByteArray after = DxfText::line(0, 0, 1, 1) + DxfText::circle(0, 0, 1);
    auto row = [&](const char *name, const QByteArray &entity, const QByteArray &bad, const QString &cause) {
        QTest::newRow(name) << file(entity + after) << bad << cause;
    };
    row("end x abc", withValue(DxfText::line(0, 0, 5, 0), 11, "5", "abc"), "abc",
        "«abc» не является числом (код 11)");
    row("decimal comma", withValue(DxfText::line(0, 0, 5, 0), 20, "0", "1,5"), "1,5",
        "«1,5» не является числом (код 20)");
    row("coordinate 1e9 mm", DxfText::line(0, 0, 1e9, 0), "1000000000",
        "координата «1000000000» по модулю больше " + QLocale().toString(kMaxDxfValue, 'f', 0) + " мм (код 11)");
    row("nan coordinate", withValue(DxfText::line(0, 0, 1, 1), 20, "0", "nan"), "nan", "«nan»");
    row("radius 1e12", DxfText::circle(0, 0, 1e12), "1000000000000", "число «1000000000000» по модулю больше");
    row("infinite angle", DxfText::arc(0, 0, 1, "inf", "90"), "inf", "«inf»");
    row("angle 1e300", DxfText::arc(0, 0, 1, "0", "1e300"), "1e300", "«1e300»");
    row("ellipse ratio text", withValue(DxfText::ellipse(5, 5, 4, 0, 0.5), 40, "0.5", "half"), "half",
        "«half» не является числом (код 40)");
    const QVector<QPointF> corner { { 0, 0 }, { 1, 0 }, { 1, 1 } };
    row("polyline vertex", withValue(DxfText::polyline(corner, 1), 20, "1", "1.0.0"), "1.0.0",
        "«1.0.0» не является числом (код 20)");
    // Flags and vertex counts are integers only once they are known to be
    // usable numbers.
    for (const char *bad : { "1e300", "nan", "4294967297", "x" }) {
        row(qPrintable(QStringLiteral("polyline flags %1").arg(bad)), withValue(DxfText::polyline(corner, 1), 70, "1", bad),
            bad, QStringLiteral("«%1»").arg(bad));
        row(qPrintable(QStringLiteral("polyline count %1").arg(bad)), withValue(DxfText::polyline(corner, 1), 90, "3", bad),
            bad, QStringLiteral("«%1»").arg(bad));
    }
    // A code line that is no code: the pairs after it cannot be read.
    QByteArray badCode = DxfText::line(0, 0, 5, 0);
    badCode.replace(" 21\n", "2l\n");
    row("group code 2l", badCode, "2l", "«2l» не является кодом группы");
    QTest::newRow("group code before the entities")
        << QByteArray("  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\nAC1015\n  1\n") + file(after) << QByteArray("AC1015")
        << QString("«AC1015» не является кодом группы");
}

void TestDxfReader::malformedNumbersRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, badLine);
    QFETCH(QString, cause);
    const int line = lineOf(text, badLine);
    QVERIFY(line > 0);

    DxfParseError error;
    QVERIFY(parseDxf(text, 1000, nullptr, &error).isEmpty());
    QCOMPARE(error.line, line);
    QVERIFY2(error.cause.contains(cause), qPrintable(error.cause));

    // The file: refused, the drawing held before left alone, and the message
    // names the file, the line and the cause.
    QTemporaryDir dir;
    const QString path = writeFile(dir, "чертёж.dxf", text);
    DxfDrawing drawing;
    drawing.append(DxfType::line(), { 9, 9, 9, 9 });
    DxfParseError fromFile;
    QCOMPARE(readDxfFile(path, 1, &drawing, &fromFile), DxfReadStatus::Malformed);
    QCOMPARE(drawing.size(), 1);
    QCOMPARE(fromFile.line, line);
    const QString message = dxfReadErrorText(DxfReadStatus::Malformed, path, fromFile);
    QVERIFY2(message.contains("чертёж.dxf") && message.contains(QStringLiteral("строке %1 ").arg(line))
            && message.contains(cause),
        qPrintable(message));
}

void TestDxfReader::malformedInputEndsQuickly_data()
{
    QTest::addColumn<QByteArray>("text");

    const QByteArray good = file(DxfText::arc(0, 0, 2, 0, 90) + DxfText::polyline({ { 0, 0 }, { 1, 1 } }, 1));
    QTest::newRow("garbage") << QByteArray("\x01\x02 ENTITIES\n\n\nAcDbLine\n10\nxyz\0\0\n", 32);
    QTest::newRow("codes without values") << QByteArray("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n100\nAcDbLine\n 10");
    QTest::newRow("vertex count 65535") << file(DxfText::pair(0, "LWPOLYLINE") + DxfText::pair(100, "AcDbPolyline")
        + DxfText::pair(90, "65535") + DxfText::pair(10, "1"));
    QTest::newRow("negative vertex count") << file(DxfText::pair(0, "LWPOLYLINE") + DxfText::pair(100, "AcDbPolyline")
        + DxfText::pair(90, "-5") + DxfText::pair(10, "1") + DxfText::pair(20, "1"));
    QTest::newRow("code too long") << QByteArray("1234567\nx\n") + good;
    QTest::newRow("empty") << QByteArray();
    for (int cut : { 10, 50, 100, 200 })
        QTest::newRow(qPrintable(QStringLiteral("cut at %1").arg(cut))) << good.left(cut);
}

void TestDxfReader::malformedInputEndsQuickly()
{
    QFETCH(QByteArray, text);
    QElapsedTimer timer;
    timer.start();
    const DxfDrawing drawing = parseDxf(text, 1000);
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(drawing.dxfEntityParams.size(), drawing.dxfEntityTypes.size());
    for (const QVector<double> &params : drawing.dxfEntityParams)
        for (double v : params)
            QVERIFY(std::isfinite(v));
}

// Random bytes, and a good file with random bytes changed: no crash, no
// non-finite number, every entity well formed, and quick.
void TestDxfReader::randomBytes()
{
    QRandomGenerator random(20261210);
    const QByteArray good = file(DxfText::arc(0, 0, 2, 0, 90) + DxfText::ellipse(1, 1, 0, 2, 0.5)
            + DxfText::polyline({ { 0, 0 }, { 1, 1 }, { 2, 0 } }, 1) + DxfText::line(0, 0, 1, 1),
        true);
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 2000; ++round) {
        QByteArray text;
        if (round % 2 == 0) {
            text.resize(int(random.bounded(4096)));
            for (char &c : text)
                c = char(random.bounded(256));
        } else {
            text = good;
            for (int k = 0, n = int(random.bounded(1, 8)); k < n; ++k)
                text[int(random.bounded(text.size()))] = "0123456789-.e\n \r\0xA"[random.bounded(19)];
        }
        const DxfDrawing drawing = parseDxf(text, 1);
        for (int i = 0; i < drawing.size(); ++i) {
            const QVector<double> &p = drawing.dxfEntityParams[i];
            QCOMPARE(p.size(), drawing.dxfEntityTypes[i] == DxfType::circle() ? 5 : 4);
            for (double v : p)
                QVERIFY(std::isfinite(v) && std::abs(v) <= kMaxDxfValue);
            for (const QPointF &m : entityMarkers(drawing.dxfEntityTypes[i], p))
                QVERIFY(std::isfinite(m.x()) && std::isfinite(m.y()));
        }
    }
    QVERIFY2(timer.elapsed() < 20000, "2000 damaged texts take seconds at most");
}

void TestDxfReader::readFile()
{
    QTemporaryDir dir;
    DxfDrawing drawing;
    drawing.append(DxfType::line(), { 9, 9, 9, 9 });
    const DxfDrawing before = drawing;

    QCOMPARE(readDxfFile(QString(), 1, &drawing), DxfReadStatus::CannotOpen);
    QCOMPARE(readDxfFile(dir.filePath("missing.dxf"), 1, &drawing), DxfReadStatus::CannotOpen);

    QFile empty(dir.filePath("points.dxf"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.write(file(DxfText::point(1, 1)));
    empty.close();
    QCOMPARE(readDxfFile(empty.fileName(), 1, &drawing), DxfReadStatus::NoEntities);
    QCOMPARE(drawing.dxfEntityParams, before.dxfEntityParams);
    QVERIFY(dxfReadErrorText(DxfReadStatus::NoEntities, empty.fileName()).contains("points.dxf"));

    QFile good(dir.filePath("чертёж.dxf"));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(file(DxfText::circle(1, 2, 3)));
    good.close();
    QCOMPARE(readDxfFile(good.fileName(), 1000, &drawing), DxfReadStatus::Ok);
    QCOMPARE(drawing.dxfEntityParams, QVector<QVector<double>>({ { 1000, 2000, 3000, -1, -1 } }));
}

// A drawing of as many entities as the bound allows is read; one more, in
// one polyline or spread over several entities, refuses the whole text. A
// count that cuts a long polyline short keeps it within the bound.
void TestDxfReader::entityBound_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("entities"); // -1: refused

    const int n = kMaxDxfEntities;
    QTest::newRow("open polyline at the bound") << file(DxfText::longPolyline(n + 1)) << n;
    QTest::newRow("open polyline one over") << file(DxfText::longPolyline(n + 2)) << -1;
    QTest::newRow("closed polyline one over") << file(DxfText::longPolyline(n + 1, 1)) << -1;
    QTest::newRow("polyline at the bound, then a line")
        << file(DxfText::longPolyline(n + 1) + DxfText::line(0, 0, 1, 1)) << -1;
    QTest::newRow("a line, then the polyline at the bound less one")
        << file(DxfText::line(0, 0, 1, 1) + DxfText::longPolyline(n)) << n;
    QTest::newRow("count 3 of many vertices") << file(DxfText::longPolyline(2 * n, 1, 3)) << 3;
}

void TestDxfReader::entityBound()
{
    QFETCH(QByteArray, text);
    QFETCH(int, entities);

    bool tooMany = true;
    const DxfDrawing drawing = parseDxf(text, 1, &tooMany);
    QCOMPARE(tooMany, entities < 0);
    QCOMPARE(drawing.size(), std::max(entities, 0));
    QCOMPARE(drawing.dxfEntityParams.size(), drawing.size());
    if (entities > 0) {
        QCOMPARE(drawing.dxfEntityParams.last().size(), 4);
        QVERIFY(std::isfinite(drawing.dxfEntityParams.last()[2]));
    }
}

static long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A text far over the bound (2,000,000 vertices, 28 MB) is refused without
// making its entities: the reading's peak stays a small part of the text's
// own size, and the file reader leaves the drawing it was given alone and
// names the bound to the operator.
void TestDxfReader::refusedDrawingTakesLittleMemory()
{
    const QByteArray text = file(DxfText::longPolyline(2000000));
    const long before = peakKilobytes();
    QElapsedTimer timer;
    timer.start();
    bool tooMany = false;
    QVERIFY(parseDxf(text, 1000, &tooMany).isEmpty());
    QVERIFY(tooMany);
    const long grown = peakKilobytes() - before;
    if (!kSanitized)
        QVERIFY2(grown < text.size() / 1024 / 2, qPrintable(QStringLiteral("the peak grew by %1 kB").arg(grown)));
    QVERIFY2(timer.elapsed() < (kSanitized ? 60000 : 5000), "the refusal is quick");

    QTemporaryDir dir;
    const QString bigPath = writeFile(dir, "огромный.dxf", text);
    DxfDrawing drawing;
    drawing.append(DxfType::line(), { 9, 9, 9, 9 });
    QCOMPARE(readDxfFile(bigPath, 1, &drawing), DxfReadStatus::TooManyEntities);
    QCOMPARE(drawing.dxfEntityParams, QVector<QVector<double>>({ { 9, 9, 9, 9 } }));
    const QString message = dxfReadErrorText(DxfReadStatus::TooManyEntities, bigPath);
    QVERIFY2(message.contains(QStringLiteral("огромный.dxf")) && message.contains(QLocale().toString(kMaxDxfEntities)),
        qPrintable(message));
}

VANTOR_TEST_MAIN(TestDxfReader)
#include "tst_dxfreader.moc"
