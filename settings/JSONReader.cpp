#include "settings/JSONReader.h"

#include <algorithm>
#include <string>

#include "settings/PreferencesError.h"
#include "settings/UTF8.h"

namespace velmora::settings {

namespace {

using Json = nlohmann::json;

// Checks syntax and depth without building anything, so that the real parse never sees a
// document it would have to refuse halfway.
class SyntaxCheck final : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool key(string_t&) override { return true; }
  bool start_object(std::size_t) override { return enter(); }
  bool end_object() override { return leave(); }
  bool start_array(std::size_t) override { return enter(); }
  bool end_array() override { return leave(); }

  bool parse_error(std::size_t position, const std::string&,
                   const Json::exception& error) override {
    failed_ = true;
    position_ = position;
    errorID_ = error.id;
    errorText_ = error.what();
    return false;
  }

  bool failed() const { return failed_; }
  bool tooDeep() const { return tooDeep_; }
  size_t position() const { return position_; }
  int errorID() const { return errorID_; }
  const std::string& errorText() const { return errorText_; }

 private:
  bool enter() {
    if (++depth_ <= kMaximumJSONDepth) return true;
    tooDeep_ = true;
    return false;
  }
  bool leave() {
    --depth_;
    return true;
  }

  size_t depth_ = 0;
  bool failed_ = false;
  bool tooDeep_ = false;
  size_t position_ = 0;
  int errorID_ = 0;
  std::string errorText_;
};

// "第 3 行第 7 列，在“"volume": 0.5 x”处" for the character at byte `offset`: the position
// counted in characters, and the end of its line up to it, so a person can find the place.
std::string describePlace(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const size_t line = 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
  const size_t newline = before.rfind('\n');
  const size_t lineStart = newline == std::string_view::npos ? 0 : newline + 1;
  const size_t column = 1 + countCharacters(before.substr(lineStart));

  std::string_view context = text.substr(lineStart, offset - lineStart);
  if (offset < text.size() && text[offset] != '\n' && text[offset] != '\r') {
    context = text.substr(lineStart, offset - lineStart + 1);
  }
  context.remove_prefix(std::min(context.find_first_not_of(" \t"), context.size()));
  const std::string_view tail = lastCharacters(context, 24);
  const std::string shown = (tail.size() < context.size() ? "…" : "") + displayExcerpt(tail, 24);

  std::string place = "第 " + std::to_string(line) + " 行第 " + std::to_string(column) + " 列";
  if (!shown.empty()) place += "，在“" + shown + "”处";
  return place;
}

// Byte offset of the bracket that opens nesting level kMaximumJSONDepth + 1. Only called once
// the syntax check has stopped there, so everything before it is well-formed JSON.
size_t offsetOfExcessDepth(std::string_view text) {
  size_t depth = 0;
  bool inString = false;
  bool escaped = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaximumJSONDepth) return i;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return text.size();
}

bool contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// What went wrong, from the parser's own (English) diagnosis. Wording the parser does not use
// falls through to the general "a value belongs here", still with the place.
std::string describeSyntaxError(const SyntaxCheck& check) {
  const std::string& what = check.errorText();
  if (check.errorID() == 406) return "数字超出可表示的范围";
  if (contains(what, "ill-formed UTF-8"))
    return "有不是有效 UTF-8 的字节（文件须以 UTF-8 编码保存）";
  if (contains(what, "control character"))
    return "字符串中有未转义的控制字符（换行须写成 \\n，制表符写成 \\t）";
  if (contains(what, "missing closing quote")) return "字符串缺少结尾的双引号";
  if (contains(what, "invalid string")) return "字符串中的转义序列无效";
  if (contains(what, "invalid number")) return "数字的写法不正确";
  if (contains(what, "invalid literal")) {
    return "无法识别的内容：字符串须加双引号，true、false、null 须小写";
  }
  if (contains(what, "unexpected end of input")) return "文件在此处意外结束，内容可能不完整";
  if (contains(what, "expected end of input")) return "文档在此之前已经结束，后面不应再有内容";
  if (contains(what, "object key")) return "此处应为加双引号的键名";
  if (contains(what, "object separator")) return "键名后应为冒号";
  if (contains(what, "parsing array")) return "数组的元素之间应为逗号，或以 ] 结束";
  if (contains(what, "parsing object")) return "对象的成员之间应为逗号，或以 } 结束";
  return "此处应为一个值";
}

bool isBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

Json parseJSONDocument(std::string_view text) {
  if (isBlank(text)) throw PreferencesError("文件是空的");

  SyntaxCheck check;
  Json::sax_parse(text.begin(), text.end(), &check, nlohmann::json::input_format_t::json, true,
                  false);
  if (check.tooDeep()) {
    throw PreferencesError(describePlace(text, offsetOfExcessDepth(text)) + "：嵌套超过 " +
                           std::to_string(kMaximumJSONDepth) + " 层");
  }
  if (check.failed()) {
    // The parser counts the offending character as read.
    const size_t offset = check.position() == 0 ? 0 : check.position() - 1;
    throw PreferencesError(describePlace(text, offset) + "：" + describeSyntaxError(check));
  }
  return Json::parse(text.begin(), text.end());
}

}  // namespace velmora::settings
