// The operations of the character-code tools tab, one per button, as pure
// functions over CP932 byte strings; the window's click handlers call them.
#pragma once
#include <string>
#include <string_view>

namespace tarvo {

[[nodiscard]] std::string ToolJIS(std::string_view sjis);        // Button1: SJISToJIS
[[nodiscard]] std::string ToolJISBack(std::string_view jis);     // Button3: JISToSJIS
[[nodiscard]] std::string ToolEUC(std::string_view sjis);        // Button4: SJISToEUC
[[nodiscard]] std::string ToolEUCBack(std::string_view euc);     // Button5: EUCToSJIS
[[nodiscard]] std::string ToolBase64(std::string_view sjis);     // Button6: Base64Encode
[[nodiscard]] std::string ToolBase64Back(std::string_view b64);  // Button7: Base64Decode
[[nodiscard]] std::string ToolMD5(std::string_view sjis);        // Button8: lower-case hex
[[nodiscard]] std::string ToolSHA1(std::string_view sjis);       // Button9: lower-case hex
[[nodiscard]] std::string ToolUpcase(std::string_view text);     // Button10/11: ASCII letters

// The part of a text that an edit box shows: everything before its first
// byte 0 (the whole text when it has none).
[[nodiscard]] std::string_view TextUpToNul(std::string_view text);

}  // namespace tarvo
