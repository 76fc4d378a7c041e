#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Calibration record of one console (probe arm).
struct ConsoleParams
{
    ConsoleParams();

    QString name;
    double tool_head_radius_down;
    double tool_head_radius_up;
    double double_sided_probe_high;
    double needle_bias;
    double roughness_ratio;
};

namespace MovementSettings {
// Which needle presses the part: 0 the upper one, any other value the lower one.
enum E_NEEDLE_PRESSING { UP = 0, DOWN = 1 };

// The needle a stored value names. Settings files and traces hold a plain
// int, and only this turns one into the enumeration: 0 the upper needle,
// any other value the lower one.
constexpr E_NEEDLE_PRESSING needleFromValue(int value)
{
    return value == 0 ? UP : DOWN;
}
} // namespace MovementSettings

// The user's preferences: the fields stored under "preferenses/".
struct UserPreferences
{
    bool alternative_measurement = false;
    bool meadian_filter = false;
    bool thread_angle_compensation = false;
    bool base_filter = false;
    int meadian_filter_value = 3;
    double thread_angle_compensation_value = 0;
    int histogramm_density_value = 10;
    int enabled_params_count = 1;
    int disabled_params_count = 56;
    QMap<int, QString> enabled_params;
    QMap<int, QString> disabled_params;
    int standartisation_value = 0;
    bool is_ask_before_change_filter = true;
    int profile_filter_mode = 0;
    bool is_accept_filter = true;
    double inscribed_circle_radius_measurement = 1;
    QString graph_color;
    QString selected_graph_color;
    QString visual_objects_color;
    bool non_linearity = false;
    QString save_trace_folder;
    QString save_report_folder;
};

// The one process-wide record of everything the program remembers between
// runs, read from "settings.ini" in the working directory at first use.
// The GUI thread is its only writer; every change is followed by save().
class Settings
{
public:
    static constexpr const char *kFileName = "settings.ini";
    // Upper bound for the list counts read from the file, so a damaged file
    // cannot make the loader run for ever or exhaust memory.
    static constexpr int kMaxListCount = 4096;

    static Settings &instance();

    // Builds a record with every default and then the values of the INI file
    // at path (a missing or unreadable file gives the defaults).
    static Settings load(const QString &path);

    Settings(const Settings &) = default;
    Settings &operator=(const Settings &) = default;

    // Writes every key to "settings.ini" (or to path). Keys already in the
    // file that the record does not know stay. The file is replaced only when
    // the whole write succeeded; a failure is logged and reported as false.
    bool save() const;
    bool saveTo(const QString &path) const;

    // Bounded views of the index fields: a value outside its table gives the
    // field's default, so no reader indexes outside a table.
    int filterIndex() const;   // spinbox_filter_length_index, 0..4
    int speedIndex() const;    // current_speed, 0..3
    // needle_pressing as the needle it names.
    MovementSettings::E_NEEDLE_PRESSING needlePressing() const
    {
        return MovementSettings::needleFromValue(needle_pressing);
    }

    // device
    bool alternative_managment = false;
    int power_pressing = 1;
    int spinbox_filter_length_index = 1;
    int trace_length = 1;
    int measurement_mode = 0;
    int device_type = 2;
    // calibration
    double tool_head_radius_down = 20;
    double tool_head_radius_up = 20;
    double double_sided_probe_high = 22;
    double needle_bias = 0;
    double rack_prpendicular = 0;
    double reference_ball_radius = 15.875;
    double roughness_reference_value = 1.2;
    double roughness_ratio = 6.2;
    double calibration_Ra_value = 1;
    double x_axis_compression_ratio = 1;
    double y_axis_compression_ratio = 1;
    double displacement_coefficient = 0;
    bool upload_device_settings = false;
    QString non_linearity_data;
    // servise
    QString default_trace_file_name;
    QString factory_name;
    bool demo_regime = false;
    bool test_sensor_mode = false;
    int scale_x_resolution = 2;
    int scale_z_resolution = 2;
    int scale_r_resolution = 2;
    bool is_developer_mode = false;
    bool is_disabled_gauss_filter = true;
    bool is_disabled_radius_elimination = true;
    int sensor_number = 1;
    // movement
    int needle_pressing = 1;
    int current_speed = 0;
    double mm_per_rotation = 1;
    // view
    bool angles_in_deg = false;
    int axis_unit = 0;

    UserPreferences preferenses;

    QStringList controllers;
    QList<ConsoleParams> consoles;
    QString current_controller_name;
    ConsoleParams current_console;

private:
    Settings();
};
