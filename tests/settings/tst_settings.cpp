#include "support/testmain.h"

#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using ParamMap = QMap<int, QString>;
Q_DECLARE_METATYPE(ParamMap)

// Binary garbage with a NUL byte, as a damaged file may hold.
QByteArray garbageIni()
{
    static const char bytes[] = "\x00\xff\xfe[[[\n=\n\x01\x02=\x03\n[device\ndevice_type\n";
    return QByteArray(bytes, int(sizeof(bytes)) - 1);
}

QList<int> rangeOf(int n)
{
    QList<int> out;
    for (int i = 0; i < n; ++i)
        out << i;
    return out;
}

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name = "settings.ini") const { return m_dir.filePath(name); }

    QString writeIni(const QString &name, const QByteArray &content)
    {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return f.fileName();
    }

private Q_SLOTS:
    void constants()
    {
        QCOMPARE(Common::kCutOffLengths.size(), 5);
        QCOMPARE(Common::kCutOffLengths.at(1), 2500.0);
        QCOMPARE(kParamIndexNames.size(), 56);
        QCOMPARE(kParamIndexNames.value(0), QStringLiteral("Ra"));
        QCOMPARE(kParamIndexNames.value(14), QStringLiteral("RΔq(Δq)"));
        QCOMPARE(kParamIndexNames.value(55), QStringLiteral("PΔa"));
        QCOMPARE(Common::kMagentaDashPen.style(), Qt::DashLine);
        QCOMPARE(Common::kBlackPen.widthF(), 0.0);
        QCOMPARE(Common::kBlackPen.capStyle(), Qt::SquareCap);
        QCOMPARE(Common::kRedPen.joinStyle(), Qt::BevelJoin);
    }

    void defaultsWithoutFile()
    {
        const Settings s = Settings::load(path("missing.ini"));
        QCOMPARE(s.device_type, 2);
        QCOMPARE(s.spinbox_filter_length_index, 1);
        QCOMPARE(s.reference_ball_radius, 15.875);
        QCOMPARE(s.default_trace_file_name, QStringLiteral("Деталь"));
        QCOMPARE(s.factory_name, QStringLiteral("Завод"));
        QVERIFY(s.is_disabled_gauss_filter);
        QVERIFY(s.is_disabled_radius_elimination);
        QCOMPARE(s.preferenses.meadian_filter_value, 3);
        QCOMPARE(s.preferenses.histogramm_density_value, 10);
        QVERIFY(s.preferenses.is_ask_before_change_filter);
        QVERIFY(s.preferenses.is_accept_filter);
        QCOMPARE(s.preferenses.graph_color, QStringLiteral("#0048ba"));
        QCOMPARE(s.preferenses.selected_graph_color, QStringLiteral("#ff0000"));
        QCOMPARE(s.preferenses.visual_objects_color, QStringLiteral("#9b870c"));

        // "Ra" is shown, and the other 55 names of the table are hidden in
        // table order: no name stands in both lists.
        QCOMPARE(s.preferenses.enabled_params, (QMap<int, QString>{{0, "Ra"}}));
        QStringList others = kParamIndexNames.values();
        others.removeFirst();
        QCOMPARE(s.preferenses.disabled_params.keys(), rangeOf(55));
        QCOMPARE(s.preferenses.disabled_params.values(), others);
        QCOMPARE(s.preferenses.enabled_params_count, 1);
        QCOMPARE(s.preferenses.disabled_params_count, 55);

        QVERIFY(s.controllers.isEmpty());
        QVERIFY(s.consoles.isEmpty());
        QCOMPARE(s.current_controller_name, QStringLiteral("No name"));
        QCOMPARE(s.current_console.name, QStringLiteral("No console"));
        QCOMPARE(s.current_console.tool_head_radius_down, 20.0);
        QCOMPARE(s.current_console.tool_head_radius_up, 20.0);
        QCOMPARE(s.current_console.double_sided_probe_high, 22.0);
        QCOMPARE(s.current_console.needle_bias, 0.0);
        QCOMPARE(s.current_console.roughness_ratio, 6.2);
    }

    void parameterListCompletion_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<ParamMap>("enabled");
        QTest::addColumn<int>("disabledCount");
        QTest::addColumn<QString>("disabledAt");    // "position=name" checked in the hidden list

        QTest::newRow("count without entries repeats Ra")
            << QByteArray("[preferenses]\nenabled_params_count=3\n")
            << ParamMap{{0, "Ra"}, {1, "Ra"}, {2, "Ra"}} << 55 << QString("0=Rmax");
        // As the defaults write it: "Ra" shown and first of the hidden names.
        QTest::newRow("name in both lists reads as shown")
            << QByteArray("[preferenses]\nenabled_params_count=1\nenabled_0=Ra\n"
                          "disabled_params_count=3\ndisabled_0=Ra\ndisabled_1=Rmax\ndisabled_2=Rp\n")
            << ParamMap{{0, "Ra"}} << 55 << QString("0=Rmax");
        QTest::newRow("hidden list closes up behind a shown name")
            << QByteArray("[preferenses]\nenabled_params_count=2\nenabled_0=Rz\nenabled_1=Rq\n"
                          "disabled_params_count=3\ndisabled_0=Ra\ndisabled_1=Rz\ndisabled_2=Rmax\n")
            << ParamMap{{0, "Rz"}, {1, "Rq"}} << 54 << QString("1=Rmax");
        QTest::newRow("missing names appended after the largest position")
            << QByteArray("[preferenses]\nenabled_params_count=2\nenabled_0=Rz\nenabled_1=Rq\n"
                          "disabled_params_count=2\ndisabled_0=Ra\ndisabled_1=Rmax\n")
            << ParamMap{{0, "Rz"}, {1, "Rq"}} << 54 << QString("2=Rp");
        QTest::newRow("last missing name takes the last position")
            << QByteArray("[preferenses]\nenabled_params_count=1\nenabled_0=Ra\n"
                          "disabled_params_count=0\n")
            << ParamMap{{0, "Ra"}} << 55 << QString("54=PΔa");
    }

    void parameterListCompletion()
    {
        QFETCH(QByteArray, ini);
        QFETCH(ParamMap, enabled);
        QFETCH(int, disabledCount);
        QFETCH(QString, disabledAt);

        const Settings s = Settings::load(writeIni("lists.ini", ini));
        QCOMPARE(s.preferenses.enabled_params, enabled);
        QCOMPARE(s.preferenses.disabled_params.size(), disabledCount);
        QCOMPARE(s.preferenses.enabled_params_count, enabled.size());
        QCOMPARE(s.preferenses.disabled_params_count, disabledCount);
        const QStringList at = disabledAt.split('=');
        QCOMPARE(s.preferenses.disabled_params.value(at[0].toInt()), at[1]);

        // Every name of the table stands in one of the two lists, and in one
        // only; the hidden list runs from position 0 without a gap.
        for (const QString &name : kParamIndexNames) {
            const bool shown = s.preferenses.enabled_params.values().contains(name);
            const int hidden = s.preferenses.disabled_params.values().count(name);
            QVERIFY2(shown ? hidden == 0 : hidden == 1, qPrintable(name));
        }
        QCOMPARE(s.preferenses.disabled_params.lastKey(), disabledCount - 1);
    }

    void saveLoadRoundTrip()
    {
        Settings s = Settings::load(path("none.ini"));
        s.alternative_managment = true;
        s.power_pressing = 4;
        s.spinbox_filter_length_index = 3;
        s.trace_length = 7;
        s.measurement_mode = 2;
        s.device_type = 5;
        s.tool_head_radius_down = 1.5;
        s.tool_head_radius_up = 2.5;
        s.double_sided_probe_high = 3.25;
        s.needle_bias = -0.125;
        s.rack_prpendicular = 0.01;
        s.reference_ball_radius = 12.7;
        s.roughness_reference_value = 3.1;
        s.roughness_ratio = 5.9;
        s.calibration_Ra_value = 0.8;
        s.x_axis_compression_ratio = 1.0001;
        s.y_axis_compression_ratio = 0.9999;
        s.displacement_coefficient = 1e-7;
        s.upload_device_settings = true;
        s.non_linearity_data = "0\t1\n2\t3";
        s.default_trace_file_name = "Вал №3";
        s.factory_name = "Завод \"Кристалл\"";
        s.demo_regime = true;
        s.test_sensor_mode = true;
        s.scale_x_resolution = 5;
        s.scale_z_resolution = 6;
        s.scale_r_resolution = 7;
        s.is_developer_mode = true;
        s.is_disabled_gauss_filter = false;
        s.is_disabled_radius_elimination = false;
        s.sensor_number = 9;
        s.needle_pressing = 0;
        s.current_speed = 3;
        s.mm_per_rotation = 2.5;
        s.angles_in_deg = true;
        s.axis_unit = 2;
        UserPreferences &p = s.preferenses;
        p.alternative_measurement = true;
        p.meadian_filter = true;
        p.thread_angle_compensation = true;
        p.base_filter = true;
        p.meadian_filter_value = 7;
        p.thread_angle_compensation_value = 1.75;
        p.histogramm_density_value = 25;
        p.enabled_params = {{0, "Rz"}, {1, "Ra"}};
        p.enabled_params_count = 2;
        p.disabled_params = {};
        int i = 0;
        for (const QString &name : kParamIndexNames) {
            if (name != "Rz" && name != "Ra")
                p.disabled_params.insert(i++, name);
        }
        p.disabled_params_count = p.disabled_params.size();
        p.standartisation_value = 1;
        p.is_ask_before_change_filter = false;
        p.profile_filter_mode = 2;
        p.is_accept_filter = false;
        p.inscribed_circle_radius_measurement = 4.5;
        p.graph_color = "#112233";
        p.selected_graph_color = "#445566";
        p.visual_objects_color = "#778899";
        p.non_linearity = true;
        p.save_trace_folder = "/tmp/трассы";
        p.save_report_folder = "/tmp/отчёты";
        s.controllers = QStringList{"Иванов", "Petrov"};
        s.current_controller_name = "Иванов";
        ConsoleParams a;
        a.name = "Консоль 1";
        a.tool_head_radius_down = 11;
        ConsoleParams b;
        b.name = "Console 2";
        b.tool_head_radius_down = 21;
        b.tool_head_radius_up = 22;
        b.double_sided_probe_high = 23;
        b.needle_bias = 24;
        b.roughness_ratio = 25;
        s.consoles = {a, b};
        s.current_console.name = "Console 2";   // the values come back from the list

        QVERIFY(s.saveTo(path("round.ini")));
        const Settings r = Settings::load(path("round.ini"));

        QCOMPARE(r.alternative_managment, s.alternative_managment);
        QCOMPARE(r.power_pressing, s.power_pressing);
        QCOMPARE(r.spinbox_filter_length_index, s.spinbox_filter_length_index);
        QCOMPARE(r.trace_length, s.trace_length);
        QCOMPARE(r.measurement_mode, s.measurement_mode);
        QCOMPARE(r.device_type, s.device_type);
        QCOMPARE(r.tool_head_radius_down, s.tool_head_radius_down);
        QCOMPARE(r.tool_head_radius_up, s.tool_head_radius_up);
        QCOMPARE(r.double_sided_probe_high, s.double_sided_probe_high);
        QCOMPARE(r.needle_bias, s.needle_bias);
        QCOMPARE(r.rack_prpendicular, s.rack_prpendicular);
        QCOMPARE(r.reference_ball_radius, s.reference_ball_radius);
        QCOMPARE(r.roughness_reference_value, s.roughness_reference_value);
        QCOMPARE(r.roughness_ratio, s.roughness_ratio);
        QCOMPARE(r.calibration_Ra_value, s.calibration_Ra_value);
        QCOMPARE(r.x_axis_compression_ratio, s.x_axis_compression_ratio);
        QCOMPARE(r.y_axis_compression_ratio, s.y_axis_compression_ratio);
        QCOMPARE(r.displacement_coefficient, s.displacement_coefficient);
        QCOMPARE(r.upload_device_settings, s.upload_device_settings);
        QCOMPARE(r.non_linearity_data, s.non_linearity_data);
        QCOMPARE(r.default_trace_file_name, s.default_trace_file_name);
        QCOMPARE(r.factory_name, s.factory_name);
        QCOMPARE(r.demo_regime, s.demo_regime);
        QCOMPARE(r.test_sensor_mode, s.test_sensor_mode);
        QCOMPARE(r.scale_x_resolution, s.scale_x_resolution);
        QCOMPARE(r.scale_z_resolution, s.scale_z_resolution);
        QCOMPARE(r.scale_r_resolution, s.scale_r_resolution);
        QCOMPARE(r.is_developer_mode, s.is_developer_mode);
        QCOMPARE(r.is_disabled_gauss_filter, s.is_disabled_gauss_filter);
        QCOMPARE(r.is_disabled_radius_elimination, s.is_disabled_radius_elimination);
        QCOMPARE(r.sensor_number, s.sensor_number);
        QCOMPARE(r.needle_pressing, s.needle_pressing);
        QCOMPARE(r.current_speed, s.current_speed);
        QCOMPARE(r.mm_per_rotation, s.mm_per_rotation);
        QCOMPARE(r.angles_in_deg, s.angles_in_deg);
        QCOMPARE(r.axis_unit, s.axis_unit);
        const UserPreferences &q = r.preferenses;
        QCOMPARE(q.alternative_measurement, p.alternative_measurement);
        QCOMPARE(q.meadian_filter, p.meadian_filter);
        QCOMPARE(q.thread_angle_compensation, p.thread_angle_compensation);
        QCOMPARE(q.base_filter, p.base_filter);
        QCOMPARE(q.meadian_filter_value, p.meadian_filter_value);
        QCOMPARE(q.thread_angle_compensation_value, p.thread_angle_compensation_value);
        QCOMPARE(q.histogramm_density_value, p.histogramm_density_value);
        QCOMPARE(q.enabled_params, p.enabled_params);
        QCOMPARE(q.disabled_params, p.disabled_params);
        QCOMPARE(q.enabled_params_count, 2);
        QCOMPARE(q.disabled_params_count, 54);
        QCOMPARE(q.standartisation_value, p.standartisation_value);
        QCOMPARE(q.is_ask_before_change_filter, p.is_ask_before_change_filter);
        QCOMPARE(q.profile_filter_mode, p.profile_filter_mode);
        QCOMPARE(q.is_accept_filter, p.is_accept_filter);
        QCOMPARE(q.inscribed_circle_radius_measurement, p.inscribed_circle_radius_measurement);
        QCOMPARE(q.graph_color, p.graph_color);
        QCOMPARE(q.selected_graph_color, p.selected_graph_color);
        QCOMPARE(q.visual_objects_color, p.visual_objects_color);
        QCOMPARE(q.non_linearity, p.non_linearity);
        QCOMPARE(q.save_trace_folder, p.save_trace_folder);
        QCOMPARE(q.save_report_folder, p.save_report_folder);
        QCOMPARE(r.controllers, s.controllers);
        QCOMPARE(r.current_controller_name, s.current_controller_name);
        QCOMPARE(r.consoles.size(), 2);
        QCOMPARE(r.consoles.at(0).name, a.name);
        QCOMPARE(r.consoles.at(0).tool_head_radius_down, 11.0);
        QCOMPARE(r.current_console.name, QStringLiteral("Console 2"));
        QCOMPARE(r.current_console.tool_head_radius_down, 21.0);
        QCOMPARE(r.current_console.tool_head_radius_up, 22.0);
        QCOMPARE(r.current_console.double_sided_probe_high, 23.0);
        QCOMPARE(r.current_console.needle_bias, 24.0);
        QCOMPARE(r.current_console.roughness_ratio, 25.0);
    }

    void keysAsWritten()
    {
        Settings s = Settings::load(path("none.ini"));
        s.controllers = QStringList{"a", "b", "c", "d"};
        s.consoles = {ConsoleParams()};
        QVERIFY(s.saveTo(path("keys.ini")));

        QSettings raw(path("keys.ini"), QSettings::IniFormat);
        const QStringList keys = raw.allKeys();
        for (const char *key : {"device/alternative_managment", "calibration/rack_prpendicular",
                                "servise/default_trace_file_name", "servise/is_disabled_gauss_filter",
                                "preferenses/meadian_filter", "preferenses/meadian_filter_value",
                                "preferenses/histogramm_density_value", "preferenses/standartisation_value",
                                "preferenses/enabled_params_count", "preferenses/enabled_0",
                                "preferenses/disabled_54", "calibration/non_linearity_data",
                                "controllers/count", "controllers/c_3", "controllers/current_controller_name",
                                "consoles/count", "consoles/current_console", "consoles/p_0",
                                "consoles/p_0/tool_head_radius_down", "consoles/p_0/roughness_ratio"}) {
            QVERIFY2(keys.contains(key), key);
        }
        QCOMPARE(raw.value("controllers/count").toString(), QStringLiteral("4"));

        // Shrinking a list keeps the old entries in the file; the next load ignores them.
        s.controllers = QStringList{"a", "b"};
        QVERIFY(s.saveTo(path("keys.ini")));
        QSettings again(path("keys.ini"), QSettings::IniFormat);
        QVERIFY(again.contains("controllers/c_3"));
        QCOMPARE(Settings::load(path("keys.ini")).controllers, (QStringList{"a", "b"}));
    }

    void unknownCurrentConsoleKeepsDefaults()
    {
        const Settings s = Settings::load(writeIni(
            "console.ini", "[consoles]\ncount=1\ncurrent_console=Missing\np_0=Other\np_0\\tool_head_radius_down=5\n"));
        QCOMPARE(s.current_console.name, QStringLiteral("Missing"));
        QCOMPARE(s.current_console.tool_head_radius_down, 20.0);
        QCOMPARE(s.current_console.roughness_ratio, 6.2);
        QCOMPARE(s.consoles.size(), 1);
        QCOMPARE(s.consoles.at(0).tool_head_radius_down, 5.0);
        // Loading never copies a console into the active calibration fields.
        QCOMPARE(s.tool_head_radius_down, 20.0);
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("controllers");

        QTest::newRow("text in an int key reads as 0")
            << QByteArray("[device]\ndevice_type=abc\n") << 0 << 1 << 0 << 0;
        QTest::newRow("huge counts are bounded")
            << QByteArray("[controllers]\ncount=2000000000\n[consoles]\ncount=2147483647\n"
                          "[preferenses]\nenabled_params_count=999999999\ndisabled_params_count=999999999\n")
            << 2 << 1 << 0 << Settings::kMaxListCount;
        QTest::newRow("negative counts read nothing")
            << QByteArray("[controllers]\ncount=-5\n[preferenses]\nenabled_params_count=-1\n") << 2 << 1 << 0 << 0;
        QTest::newRow("indexes out of range fall back")
            << QByteArray("[device]\nspinbox_filter_length_index=17\n[movement]\ncurrent_speed=-3\n")
            << 2 << 1 << 0 << 0;
        QTest::newRow("indexes in range are kept")
            << QByteArray("[device]\nspinbox_filter_length_index=4\n[movement]\ncurrent_speed=3\n")
            << 2 << 4 << 3 << 0;
        QTest::newRow("binary garbage")
            << garbageIni() << 2 << 1 << 0 << 0;
    }

    void badInput()
    {
        QFETCH(QByteArray, ini);
        QElapsedTimer timer;
        timer.start();
        const Settings s = Settings::load(writeIni("bad.ini", ini));
        QVERIFY2(timer.elapsed() < 5000, "loading a damaged file must end quickly");
        QTEST(s.device_type, "deviceType");
        QTEST(s.filterIndex(), "filterIndex");
        QTEST(s.speedIndex(), "speedIndex");
        QTEST(s.controllers.size(), "controllers");
        QVERIFY(s.preferenses.enabled_params.size() <= Settings::kMaxListCount);
        QVERIFY(s.preferenses.disabled_params.size() <= Settings::kMaxListCount + kParamIndexNames.size());
    }

    // A number that is not finite never reaches a calibration value: the
    // default stays, as for a missing key.
    void nonFiniteNumbersKeepTheirDefaults()
    {
        const Settings s = Settings::load(writeIni(
            "nonfinite.ini", "[calibration]\nroughness_ratio=nan\nx_axis_compression_ratio=inf\n"
                             "needle_bias=-inf\nreference_ball_radius=1e999\ntool_head_radius_up=7.5\n"
                             "[consoles]\ncount=1\ncurrent_console=C\np_0=C\np_0\\roughness_ratio=nan\n"
                             "p_0\\needle_bias=inf\np_0\\tool_head_radius_down=9\n"));
        QCOMPARE(s.roughness_ratio, 6.2);
        QCOMPARE(s.x_axis_compression_ratio, 1.0);
        QCOMPARE(s.needle_bias, 0.0);
        QCOMPARE(s.reference_ball_radius, 15.875);
        QCOMPARE(s.tool_head_radius_up, 7.5);
        QCOMPARE(s.consoles.size(), 1);
        QCOMPARE(s.consoles.at(0).roughness_ratio, 6.2);
        QCOMPARE(s.consoles.at(0).needle_bias, 0.0);
        QCOMPARE(s.consoles.at(0).tool_head_radius_down, 9.0);
        QCOMPARE(s.current_console.roughness_ratio, 6.2);
    }

    // Lines of an old file that cannot be read (typed by hand, damaged) are
    // passed over by a load; a save must still go through, or every later
    // change would be lost at the next start.
    void saveOverDamagedFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("otherKept");
        QTest::newRow("line without an equals sign")
            << QByteArray("[device]\ndevice_type=5\nthis line has no equals\n[other]\nk=1\n") << true;
        QTest::newRow("unclosed section") << QByteArray("[device\ndevice_type=5\n[other]\nk=1\n") << true;
        QTest::newRow("binary garbage")
            << garbageIni() << false;
    }
    void saveOverDamagedFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, otherKept);
        const QString target = writeIni("damaged.ini", ini);
        Settings s = Settings::load(target);
        s.device_type = 3;
        s.controllers = QStringList{"Иванов"};
        QVERIFY(s.saveTo(target));
        const Settings r = Settings::load(target);
        QCOMPARE(r.device_type, 3);
        QCOMPARE(r.controllers, s.controllers);
        if (otherKept)
            QCOMPARE(QSettings(target, QSettings::IniFormat).value("other/k").toInt(), 1);
    }

    void failedSaveKeepsTheOldFile()
    {
        const QString target = writeIni("kept.ini", "[device]\ndevice_type=7\n");
        Settings s = Settings::load(target);
        s.device_type = 3;
        // A target inside a directory that does not exist cannot be written;
        // the failure is logged at ERROR.
        QFile log(QString::fromStdString(logger.fileName()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        log.seek(log.size());
        QVERIFY(!s.saveTo(path("no/such/dir/settings.ini")));
        QVERIFY(log.readAll().contains("] ERROR: Can't save settings to "));
        // A read-only directory refuses the replacement; the old file stays whole.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool saved = s.saveTo(target);
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (saved)
            QSKIP("running with rights that ignore directory permissions");
        QCOMPARE(Settings::load(target).device_type, 7);
    }
#ifdef Q_OS_UNIX
    // A write that stops part-way (here the process may not write files longer
    // than a few bytes) must never leave a cut-short settings.ini behind: the
    // save reports failure and the file keeps its old bytes.
    void cutShortWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<double>("share");   // of the whole file that can be written
        QTest::addColumn<QByteArray>("old");
        const QByteArray clean("[device]\ndevice_type=7\n[other]\nkept=1\n");
        QTest::newRow("nothing can be written") << 0.0 << clean;
        QTest::newRow("stops in the middle") << 0.5 << clean;
        QTest::newRow("stops near the end") << 0.99 << clean;
        QTest::newRow("old file with an unreadable line")
            << 0.5 << QByteArray("[device]\ndevice_type=7\nno equals sign\n[other]\nkept=1\n");
    }
    void cutShortWriteKeepsTheOldFile()
    {
        QFETCH(double, share);
        QFETCH(QByteArray, old);
        QTemporaryDir dir;
        const QString target = dir.filePath("settings.ini");
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(old), qint64(old.size()));
        }
        Settings s = Settings::load(target);
        s.device_type = 3;
        s.controllers = QStringList{"Иванов", "Петров"};
        QVERIFY(s.saveTo(dir.filePath("whole.ini")));
        const qint64 whole = QFileInfo(dir.filePath("whole.ini")).size();
        QVERIFY(QFile::remove(dir.filePath("whole.ini")));

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(qMax<qint64>(10, qint64(whole * share)));
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = s.saveTo(target);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!written);
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"settings.ini"});

        // Without the limit the same record saves whole, the unknown key kept.
        QVERIFY(s.saveTo(target));
        QCOMPARE(Settings::load(target).controllers, s.controllers);
        QCOMPARE(QSettings(target, QSettings::IniFormat).value("other/kept").toInt(), 1);
    }
#endif
};

VANTOR_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
