#pragma once
// The Simplified-Chinese system message texts, generated at build time from
// data/win_errors_zh_cn.tsv: rows in ascending code order.
#include <cstddef>
#include <cstdint>

namespace vw {

struct SystemErrorRow {
    uint32_t code;
    const wchar_t* text;
};

extern const SystemErrorRow kSystemErrorRows[];
extern const size_t kSystemErrorRowCount;

}  // namespace vw
