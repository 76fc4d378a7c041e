#include "settings/settings.h"

#include "settings/common.h"
#include "settings/logger.h"
#include "settings/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <variant>

ConsoleParams::ConsoleParams()
    : name(QStringLiteral("No console"))
    , tool_head_radius_down(20)
    , tool_head_radius_up(20)
    , double_sided_probe_high(22)
    , needle_bias(0)
    , roughness_ratio(6.2)
{
}

namespace {

// A field of the record, by address, with its type.
using FieldRef = std::variant<bool *, int *, double *, QString *>;

// One scalar key of the file and the field that holds it.
struct ScalarKey
{
    const char *key;
    FieldRef (*field)(Settings &);
};

#define SK(key, kind, member) ScalarKey{key, [](Settings &s) -> FieldRef { return &s.member; }}

const ScalarKey kScalarKeys[] = {
    SK("device/alternative_managment", Bool, alternative_managment),
    SK("device/power_pressing", Int, power_pressing),
    SK("device/spinbox_filter_length_index", Int, spinbox_filter_length_index),
    SK("device/trace_length", Int, trace_length),
    SK("device/measurement_mode", Int, measurement_mode),
    SK("device/device_type", Int, device_type),
    SK("calibration/tool_head_radius_down", Double, tool_head_radius_down),
    SK("calibration/tool_head_radius_up", Double, tool_head_radius_up),
    SK("calibration/double_sided_probe_high", Double, double_sided_probe_high),
    SK("calibration/needle_bias", Double, needle_bias),
    SK("calibration/rack_prpendicular", Double, rack_prpendicular),
    SK("calibration/reference_ball_radius", Double, reference_ball_radius),
    SK("calibration/roughness_reference_value", Double, roughness_reference_value),
    SK("calibration/roughness_ratio", Double, roughness_ratio),
    SK("calibration/calibration_Ra_value", Double, calibration_Ra_value),
    SK("calibration/x_axis_compression_ratio", Double, x_axis_compression_ratio),
    SK("calibration/y_axis_compression_ratio", Double, y_axis_compression_ratio),
    SK("calibration/displacement_coefficient", Double, displacement_coefficient),
    SK("calibration/upload_device_settings", Bool, upload_device_settings),
    SK("calibration/non_linearity_data", String, non_linearity_data),
    SK("servise/default_trace_file_name", String, default_trace_file_name),
    SK("servise/factory_name", String, factory_name),
    SK("servise/demo_regime", Bool, demo_regime),
    SK("servise/test_sensor_mode", Bool, test_sensor_mode),
    SK("servise/scale_x_resolution", Int, scale_x_resolution),
    SK("servise/scale_z_resolution", Int, scale_z_resolution),
    SK("servise/scale_r_resolution", Int, scale_r_resolution),
    SK("servise/is_developer_mode", Bool, is_developer_mode),
    SK("servise/is_disabled_gauss_filter", Bool, is_disabled_gauss_filter),
    SK("servise/is_disabled_radius_elimination", Bool, is_disabled_radius_elimination),
    SK("servise/sensor_number", Int, sensor_number),
    SK("movement/needle_pressing", Int, needle_pressing),
    SK("movement/current_speed", Int, current_speed),
    SK("movement/mm_per_rotation", Double, mm_per_rotation),
    SK("view/angles_in_deg", Bool, angles_in_deg),
    SK("view/axis_unit", Int, axis_unit),
    SK("preferenses/alternative_measurement", Bool, preferenses.alternative_measurement),
    SK("preferenses/meadian_filter", Bool, preferenses.meadian_filter),
    SK("preferenses/thread_angle_compensation", Bool, preferenses.thread_angle_compensation),
    SK("preferenses/base_filter", Bool, preferenses.base_filter),
    SK("preferenses/meadian_filter_value", Int, preferenses.meadian_filter_value),
    SK("preferenses/thread_angle_compensation_value", Double, preferenses.thread_angle_compensation_value),
    SK("preferenses/histogramm_density_value", Int, preferenses.histogramm_density_value),
    SK("preferenses/standartisation_value", Int, preferenses.standartisation_value),
    SK("preferenses/is_ask_before_change_filter", Bool, preferenses.is_ask_before_change_filter),
    SK("preferenses/profile_filter_mode", Int, preferenses.profile_filter_mode),
    SK("preferenses/is_accept_filter", Bool, preferenses.is_accept_filter),
    SK("preferenses/inscribed_circle_radius_measurement", Double, preferenses.inscribed_circle_radius_measurement),
    SK("preferenses/graph_color", String, preferenses.graph_color),
    SK("preferenses/selected_graph_color", String, preferenses.selected_graph_color),
    SK("preferenses/visual_objects_color", String, preferenses.visual_objects_color),
    SK("preferenses/non_linearity", Bool, preferenses.non_linearity),
    SK("preferenses/save_trace_folder", String, preferenses.save_trace_folder),
    SK("preferenses/save_report_folder", String, preferenses.save_report_folder),
};

#undef SK

QVariant scalarValue(const Settings &s, const ScalarKey &k)
{
    const FieldRef ref = k.field(const_cast<Settings &>(s));
    return std::visit([](auto *field) { return QVariant(*field); }, ref);
}

void readScalar(Settings &s, const ScalarKey &k, const QSettings &store)
{
    // The field holds its default here; the store's value replaces it when
    // present, converted by Qt's rules (a text that is not a number gives 0).
    // A number that is not finite ("inf", "nan") is refused and the default stays.
    QVariant def = scalarValue(s, k);
    if (qstrcmp(k.key, "preferenses/meadian_filter_value") == 0)
        def = 3.0;  // the default is handed to the store as a real number
    const QVariant v = store.value(QString::fromLatin1(k.key), def);
    std::visit(
        [&v](auto *field) {
            using T = std::remove_pointer_t<decltype(field)>;
            const T value = v.value<T>();
            if constexpr (std::is_same_v<T, double>) {
                if (!std::isfinite(value))
                    return;
            }
            *field = value;
        },
        k.field(s));
}

int boundedCount(const QSettings &store, const QString &key, int def)
{
    const int n = store.value(key, def).toInt();
    return std::clamp(n, 0, Settings::kMaxListCount);
}

const char *const kConsoleValueKeys[] = {"tool_head_radius_down", "tool_head_radius_up",
                                         "double_sided_probe_high", "needle_bias", "roughness_ratio"};

double *consoleValue(ConsoleParams &c, int i)
{
    double *values[] = {&c.tool_head_radius_down, &c.tool_head_radius_up, &c.double_sided_probe_high,
                        &c.needle_bias, &c.roughness_ratio};
    return values[i];
}

// QSettings does not notice when the last part of its file fails to reach the
// disk and reports a cut-short file as written. So the bytes it wrote are read
// back through a store of their own: they must end with a whole line and give
// back every value that was set before they may replace the settings file.
bool holdsEveryValue(const QByteArray &bytes, const QList<QPair<QString, QString>> &values, const QString &folder)
{
    if (!bytes.endsWith('\n'))
        return false;
    QTemporaryFile copy(folder + "/.settings_check_XXXXXX.ini");
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return false;
    copy.close();
    const QSettings readBack(copy.fileName(), QSettings::IniFormat);
    return std::all_of(values.cbegin(), values.cend(), [&readBack](const QPair<QString, QString> &kv) {
        return readBack.contains(kv.first) && readBack.value(kv.first).toString() == kv.second;
    });
}

} // namespace

Settings::Settings()
    : default_trace_file_name(QStringLiteral("Деталь"))
    , factory_name(QStringLiteral("Завод"))
    , current_controller_name(QStringLiteral("No name"))
{
    preferenses.disabled_params_count = kParamIndexNames.size();
    preferenses.graph_color = kDefaultGraphColor;
    preferenses.selected_graph_color = kDefaultSelectedGraphColor;
    preferenses.visual_objects_color = kDefaultVisualObjectsColor;
}

Settings &Settings::instance()
{
    // A function-local static is constructed once even under concurrent first
    // calls, and destroyed at process exit.
    static Settings record = load(QString::fromLatin1(kFileName));
    return record;
}

Settings Settings::load(const QString &path)
{
    Settings s;
    QSettings store(path, QSettings::IniFormat);

    for (const ScalarKey &k : kScalarKeys)
        readScalar(s, k, store);

    UserPreferences &p = s.preferenses;
    const int enabledCount = boundedCount(store, "preferenses/enabled_params_count", 1);
    for (int i = 0; i < enabledCount; ++i)
        p.enabled_params.insert(i, store.value(QStringLiteral("preferenses/enabled_%1").arg(i), "Ra").toString());

    const int disabledCount = boundedCount(store, "preferenses/disabled_params_count", kParamIndexNames.size());
    for (int i = 0; i < disabledCount; ++i)
        p.disabled_params.insert(i, store.value(QStringLiteral("preferenses/disabled_%1").arg(i),
                                                kParamIndexNames.value(i)).toString());

    // A shown parameter is not also hidden: a file that names it in both
    // lists (the defaults do so for "Ra") reads it as shown, and the hidden
    // list closes up behind the names taken out.
    QSet<QString> listed;
    for (const QString &name : qAsConst(p.enabled_params))
        listed.insert(name);
    QMap<int, QString> hidden;
    for (const QString &name : qAsConst(p.disabled_params)) {
        if (!listed.contains(name))
            hidden.insert(hidden.size(), name);
    }
    p.disabled_params = hidden;

    // Every parameter stands in one of the two lists: names missing from both
    // are appended to the hidden list in table order.
    for (const QString &name : qAsConst(p.disabled_params))
        listed.insert(name);
    int next = p.disabled_params.isEmpty() ? 0 : p.disabled_params.lastKey() + 1;
    for (const QString &name : kParamIndexNames) {
        if (!listed.contains(name))
            p.disabled_params.insert(next++, name);
    }
    p.enabled_params_count = p.enabled_params.size();
    p.disabled_params_count = p.disabled_params.size();

    const int controllerCount = boundedCount(store, "controllers/count", 0);
    for (int i = 0; i < controllerCount; ++i)
        s.controllers.append(store.value(QStringLiteral("controllers/c_%1").arg(i), "").toString());

    const int consoleCount = boundedCount(store, "consoles/count", 0);
    s.current_console.name = store.value("consoles/current_console", "No console").toString();
    for (int i = 0; i < consoleCount; ++i) {
        ConsoleParams c;
        const QString base = QStringLiteral("consoles/p_%1").arg(i);
        c.name = store.value(base, "").toString();
        for (int v = 0; v < 5; ++v) {
            double *value = consoleValue(c, v);
            const double read = store.value(base + '/' + kConsoleValueKeys[v], *value).toDouble();
            if (std::isfinite(read))
                *value = read;
        }
        s.consoles.append(c);
        if (c.name == s.current_console.name)
            s.current_console = c;
    }

    s.current_controller_name = store.value("controllers/current_controller_name", "No name").toString();
    return s;
}

bool Settings::save() const
{
    return saveTo(QString::fromLatin1(kFileName));
}

bool Settings::saveTo(const QString &path) const
{
    const QFileInfo target(path);
    const auto fail = [&](const QString &why) {
        logger.log(Logger::ERROR, ("Can't save settings to " + target.absoluteFilePath() + ": " + why).toStdString());
        return false;
    };

    // Write into a copy of the current file first, so keys this record does not
    // know stay, and replace the file only when the whole write went through.
    QTemporaryFile scratch(target.absolutePath() + "/.settings_XXXXXX.ini");
    if (!scratch.open())
        return fail(scratch.errorString());
    if (target.exists()) {
        QFile old(target.absoluteFilePath());
        if (old.open(QIODevice::ReadOnly)) {
            const QByteArray kept = old.readAll();
            if (scratch.write(kept) != kept.size() || !scratch.flush())
                return fail(scratch.errorString());
        }
    }
    scratch.close();

    QList<QPair<QString, QString>> values;
    {
        QSettings store(scratch.fileName(), QSettings::IniFormat);
        const auto set = [&store, &values](const QString &key, const QVariant &value) {
            store.setValue(key, value);
            values.append({key, value.toString()});
        };
        for (const ScalarKey &k : kScalarKeys)
            set(QString::fromLatin1(k.key), scalarValue(*this, k));

        const UserPreferences &p = preferenses;
        set("preferenses/enabled_params_count", p.enabled_params_count);
        set("preferenses/disabled_params_count", p.disabled_params_count);
        for (int i = 0; i < p.enabled_params_count; ++i)
            set(QStringLiteral("preferenses/enabled_%1").arg(i), p.enabled_params.value(i));
        for (int i = 0; i < p.disabled_params_count; ++i)
            set(QStringLiteral("preferenses/disabled_%1").arg(i), p.disabled_params.value(i));

        set("controllers/count", QString::number(controllers.size()));
        for (int i = 0; i < controllers.size(); ++i)
            set(QStringLiteral("controllers/c_%1").arg(i), controllers.at(i));
        set("controllers/current_controller_name", current_controller_name);

        set("consoles/count", QString::number(consoles.size()));
        set("consoles/current_console", current_console.name);
        for (int i = 0; i < consoles.size(); ++i) {
            ConsoleParams c = consoles.at(i);
            const QString base = QStringLiteral("consoles/p_%1").arg(i);
            set(base, c.name);
            for (int v = 0; v < 5; ++v)
                set(base + '/' + kConsoleValueKeys[v], *consoleValue(c, v));
        }
        store.sync();
        // A format error only says that lines of the old file could not be
        // read (a load ignored them too); they are dropped and the save goes
        // on. Whether the write itself went through is checked below.
        if (store.status() == QSettings::AccessError)
            return fail(QStringLiteral("the settings store could not be written"));
    }

    QFile written(scratch.fileName());
    if (!written.open(QIODevice::ReadOnly))
        return fail(written.errorString());
    const QByteArray bytes = written.readAll();
    if (!holdsEveryValue(bytes, values, target.absolutePath()))
        return fail(QStringLiteral("the settings store could not be written whole"));

    QString why;
    if (!SaveFile::write(target.absoluteFilePath(), bytes, &why))
        return fail(why);
    return true;
}

int Settings::filterIndex() const
{
    return Common::validCutOffIndex(spinbox_filter_length_index);
}

int Settings::speedIndex() const
{
    return (current_speed >= 0 && current_speed <= 3) ? current_speed : 0;
}
