// The item picture saver: reads an item record, makes the item's folders, fetches its pictures.
#include "core/picture_saver.h"

#include <json-c/json.h>

#include <filesystem>
#include <memory>

#include "platform/codepage.h"
#include "platform/files.h"
#include "webkit/text.h"
#include "webkit/web_request.h"

std::string clean_title(std::string_view text) {
    static const char* const deleted[] = {":",  "\\", "/",  "?",  "*",  "<",  ">",
                                          "|",  "：", "、", "？", "。", "（", "）",
                                          "·", "！", "，", ".",  " "};
    std::string title(text);
    for (const char* piece : deleted) title = replace_all(title, gbk(piece), "");
    return title;
}

namespace {

struct JsonFree {
    void operator()(json_object* doc) const { json_object_put(doc); }
};

// The text json-c prints for a value: "null" for a missing one.
std::string text_form(json_object* value) { return json_object_to_json_string(value); }

json_object* member(json_object* object, const std::string& key) {
    json_object* value = nullptr;
    if (json_object_is_type(object, json_type_object))
        json_object_object_get_ex(object, key.c_str(), &value);
    return value;
}

std::size_t array_size(json_object* array) {
    return json_object_is_type(array, json_type_array) ? json_object_array_length(array) : 0;
}

json_object* element(json_object* array, std::size_t index) {
    return index < array_size(array) ? json_object_array_get_idx(array, index) : nullptr;
}

struct Category {
    const char* key;          // record key and file-name suffix
    const char* log_prefix;
    const char* gate_box;     // check box that switches the category on (none: always)
    const char* off_message;
    int timeout_s;
};

const Category categories[] = {
    {"主图", "\r\n\r\n主图下载（", nullptr, nullptr, 50},
    {"属性图", "\r\n\r\n属性图下载（", "选择框_属性图", "\r\n\r\n设置里，属性图下载功能未启用", 50},
    {"描述图", "\r\n\r\n描述图下载（", "选择框_描述图", "\r\n\r\n设置里，描述图下载功能未启用", 60},
};

std::filesystem::path normal(std::string_view gbk_path) {
    return native_path(gbk_path).lexically_normal();
}

// True when `path` lies at or below `root` once both are written out.
bool inside(std::string_view root, std::string_view path) {
    const std::filesystem::path base = normal(root);
    const std::filesystem::path target = normal(path);
    auto b = base.begin();
    auto t = target.begin();
    for (; b != base.end(); ++b, ++t) {
        if (b->empty()) continue;  // the empty last element of a path ending in "/"
        if (t == target.end() || *b != *t) return false;
    }
    for (; t != target.end(); ++t)
        if (*t == "..") return false;
    return true;
}

// A picture goes to a temporary name in its folder and is renamed into place, so no
// half-written picture ever carries the final name. A failed request never replaces an
// existing picture with an empty one.
void store_picture(const std::string& file, const std::string& body, bool failed) {
    if (failed && file_exists(file)) return;
    write_file_atomically(file, body);
}

}  // namespace

void save_item_pictures(const std::string& record, JobSteps& steps) {
    const std::unique_ptr<json_object, JsonFree> doc(json_tokener_parse(record.c_str()));
    json_object* shopinfo = member(doc.get(), "shopinfo");
    const std::string title =
        clean_title(replace_all(text_form(member(element(shopinfo, 0), "title")), "\"", ""));
    const std::string item_id = replace_all(text_form(member(element(shopinfo, 2), "itemid")), "\"", "");

    steps.log(gbk("\r\n获取标题：") + title + gbk(" | 商品ID:") + item_id);

    // The id comes from a web page: its separators must not open folders of their own.
    std::string folder_name = title;
    if (steps.checked("选择框_文件夹名包含ID"))
        folder_name += "_" + replace_all(replace_all(item_id, "\\", ""), "/", "");
    std::string root = steps.text("编辑框_保存位置");
    if (root.empty()) root = run_directory();
    const std::string item_folder = root + "\\" + folder_name + "\\";
    const bool allowed = inside(root, item_folder);

    bool exists = false;
    steps.gate().step([&] { exists = !allowed || folder_exists(item_folder); });
    if (!exists) {
        bool made = false;
        steps.gate().step([&] { made = make_folder(item_folder); });
        if (made) {
            for (const Category& category : categories)
                steps.gate().step([&] { make_folder(item_folder + gbk(category.key) + "\\"); });
        } else {
            steps.gate().step([&] { make_folder(item_folder); });
        }
    }

    std::size_t counts[3];
    for (int c = 0; c < 3; ++c) counts[c] = array_size(member(doc.get(), gbk(categories[c].key)));

    for (int c = 0; c < 3; ++c) {
        const Category& category = categories[c];
        if (category.gate_box != nullptr && !steps.checked(category.gate_box)) {
            steps.log(gbk(category.off_message));
            continue;
        }
        const std::string key = gbk(category.key);
        json_object* pictures = member(doc.get(), key);
        const std::size_t n = counts[c];
        for (std::size_t i = 1; i <= n; ++i) {
            const std::string url = replace_all(
                replace_all(text_form(member(element(pictures, i - 1), "img")), "\"", ""), "\\", "");
            steps.log(gbk(category.log_prefix) + decimal(static_cast<long long>(i)) + "/" +
                      decimal(static_cast<long long>(n)) + ")" + url);
            steps.pass();
            int status = 0;
            const std::string body = web_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, &status,
                                                 false, {}, {}, category.timeout_s);
            const std::string file = item_folder + key + "\\(" + decimal(static_cast<long long>(i)) + ")" + key + ".jpg";
            steps.gate().step([&] {
                if (allowed) store_picture(file, body, status == 0 && body.empty());
            });
        }
    }
    steps.flush();  // the item is done when its log is on the window
}
