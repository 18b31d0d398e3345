// Start-up values and the reads and writes of the settings file.
#include "core/settings.h"

#include "platform/codepage.h"
#include "platform/profile.h"

ProgramValues start_program_values(std::string_view run_dir) {
    ProgramValues values;
    values.program_version = "1.0";
    values.settings_path = std::string(run_dir) + gbk("\\配置.ini");
    values.update_check_started = false;
    values.update_key = "taobao";
    return values;
}

std::string form_caption() { return gbk("2017Vesklar[支持主图、属性图、描述图]"); }

std::string version_caption_suffix(std::string_view program_version) {
    return gbk(" 版本V") + std::string(program_version);
}

std::string picker_root_folder() { return "/"; }

std::string restored_save_location(std::string_view settings_path, std::string_view run_dir) {
    std::string value = read_profile_string(settings_path, gbk("全局设置"), gbk("保存位置"));
    return value.empty() ? std::string(run_dir) : value;
}

void store_save_location(std::string_view settings_path, std::string_view location) {
    // A failed write goes unnoticed; the box keeps the new location for this run.
    write_profile_string(settings_path, gbk("全局设置"), gbk("保存位置"), location);
}

bool restored_check_box(std::string_view settings_path, std::string_view key_utf8) {
    return read_profile_string(settings_path, gbk("下载模式"), gbk(key_utf8)) != gbk("假");
}

void store_check_box(std::string_view settings_path, std::string_view key_utf8, bool checked) {
    write_profile_string(settings_path, gbk("下载模式"), gbk(key_utf8), checked ? gbk("真") : gbk("假"));
}
