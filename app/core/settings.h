// The values start-up sets and the settings file 配置.ini: where each setting lives and how it is restored.
#pragma once

#include <string>
#include <string_view>

// Program-wide values of one run, made at start-up and kept until the program ends.
struct ProgramValues {
    std::string program_version;      // "1.0"
    std::string update_key;           // "taobao": the key the version page lists this program under
    std::string settings_path;        // run directory + "\\配置.ini"
    bool update_check_started = false;
    std::string picker_start_folder;  // the folder the folder picker selects when it opens
};

// The start-up values for a program whose run directory (GBK, no trailing separator) is `run_dir`.
ProgramValues start_program_values(std::string_view run_dir);

// The window's caption before start-up adds the version: "2017Vesklar[支持主图、属性图、描述图]".
std::string form_caption();
// What start-up appends to the caption: " 版本V" and the version.
std::string version_caption_suffix(std::string_view program_version);

// The folder the picker starts in: the root of the file system (the system drive's root
// "c:\\" where drives exist).
std::string picker_root_folder();

// The four check boxes of the download settings and their keys in section "下载模式".
struct CheckBoxSetting {
    const char* control;  // control name, UTF-8
    const char* key;      // key name, UTF-8 (gbk() it for the file)
};
inline constexpr CheckBoxSetting check_box_settings[] = {
    {"选择框_主图", "主图"},
    {"选择框_属性图", "属性图"},
    {"选择框_描述图", "描述图"},
    {"选择框_文件夹名包含ID", "文件夹名包含ID"},
};

// "全局设置"/"保存位置", or the run directory when it is missing or empty.
std::string restored_save_location(std::string_view settings_path, std::string_view run_dir);
void store_save_location(std::string_view settings_path, std::string_view location);

// A check box is checked unless its stored value is exactly "假". `key_utf8` as in check_box_settings.
bool restored_check_box(std::string_view settings_path, std::string_view key_utf8);
// Writes "真" or "假" for the box's new state.
void store_check_box(std::string_view settings_path, std::string_view key_utf8, bool checked);
