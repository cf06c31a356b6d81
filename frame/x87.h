// The x87 control word on 32-bit Windows: its precision-control field
// (bits 8 and 9) selects the significand that arithmetic rounds to.
#pragma once

namespace sylvo::x87 {

inline constexpr unsigned short precision_mask = 0x0300;
inline constexpr unsigned short precision_64 = 0x0300;  // 64-bit significand (extended)

inline unsigned short control_word()
{
    unsigned short cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

inline void set_control_word(unsigned short cw)
{
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}

// Selects a 64-bit significand, keeping the rest of the control word.
inline void select_extended_precision()
{
    const unsigned short cw = control_word();
    if ((cw & precision_mask) != precision_64) set_control_word(static_cast<unsigned short>(cw | precision_64));
}

}  // namespace sylvo::x87
