// The messages of a failed Generate, as the dialog shows them and lantra-cli prints them, all
// with the caption kGenerateErrorCaption. Plain constants, so that every front end can take them.
#pragma once

inline constexpr char16_t kGenerateErrorCaption[] = u"生成错误";
inline constexpr char16_t kNoCodeTableMessage[] = u"必须定义提示编码表。";
inline constexpr char16_t kNoContentMessage[] =
    u"无法读取提示内容表，请确认提示内容表路径的访问权限。";
inline constexpr char16_t kNothingGeneratedMessage[] =
    u"无法创建提示码表，请检查提示编码表、提示内容表文件格式是否符合kesu码表格式。";
