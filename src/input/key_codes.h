// The input actions and key codes the engine tests by name. Actions are rows of the binding
// table; key codes are DirectInput's (the keyboard device) or Windows virtual keys (the window's
// key messages).
#pragma once

namespace bw {

// Input actions. 0-3 move between controls (up, down, left, right); 4-17 are the player's to bind.
constexpr int kActionDecide = 4;
constexpr int kActionCancel = 5;
constexpr int kActionFirstCommand = 6;  // 6-17 give the scenario screens' commands
constexpr int kActionCommandCount = 12;
constexpr int kActionHideWindow = 11;
constexpr int kActionBack = 18;     // a line or page back
constexpr int kActionAdvance = 19;  // the next message, a line or page on
constexpr int kActionCount = 20;

// DirectInput key codes.
constexpr int kKeyLeftControl = 0x1D;
constexpr int kKeyLeftShift = 0x2A;
constexpr int kKeyRightShift = 0x36;
constexpr int kKeyLeftAlt = 0x38;
constexpr int kKeyF1 = 0x3B;
constexpr int kKeyRightControl = 0x9D;
constexpr int kKeyRightAlt = 0xB8;
constexpr int kKeyHome = 0xC7;
constexpr int kKeyPageUp = 0xC9;
constexpr int kKeyEnd = 0xCF;
constexpr int kKeyPageDown = 0xD1;

// Windows virtual-key codes.
constexpr int kVkReturn = 0x0D;
constexpr int kVkShift = 0x10;
constexpr int kVkCapital = 0x14;
constexpr int kVkEscape = 0x1B;
constexpr int kVkEnd = 0x23;
constexpr int kVkHome = 0x24;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkDelete = 0x2E;
constexpr int kVkF4 = 0x73;
constexpr int kVkNumLock = 0x90;
constexpr int kVkScroll = 0x91;

}  // namespace bw
