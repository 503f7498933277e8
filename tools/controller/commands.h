#pragma once

#include "common/variant.h"

#include <QString>

#include <cstdint>

// The command language of the controller's standard input and of its script files, one command a
// line. Blank lines and lines whose first non-blank character is "#" do nothing. Command words are
// compared without regard to case; <json> is one JSON value (see jsonvariant.h).
//
//   led N MODE        message 257 with [N, MODE] (Longs): LED N off (0), on (1) or blinking (2)
//   beep MS           message 256 with MS (Long): beeper for MS ms, 0 off, negative until 0
//   text <json>       message 258 with the value
//   draw <json>       message 259; the value must be an array of [code, parameter] items
//   msg NUMBER [json] message NUMBER with the value, Empty when none is given
//   sleep MS          pauses the commands that follow for MS ms (0 to 3600000)
//   wait              pauses the commands that follow until a pendant is connected
//   state             prints the keys held now
//   counters          prints what was received, sent and ignored
//   help              prints this list
//   quit              ends the controller
namespace tarvisk::controller {

inline constexpr int32_t MsgBeep = 256;
inline constexpr int32_t MsgLed = 257;
inline constexpr int32_t MsgText = 258;
inline constexpr int32_t MsgDraw = 259;

struct Command
{
    enum class Kind { Nothing, Send, Sleep, Wait, State, Counters, Help, Quit };
    Kind kind = Kind::Nothing;
    int32_t number = 0; // Send: the message number
    Variant value;      // Send: the message value
    int sleepMs = 0;    // Sleep
};

struct ParsedCommand
{
    Command command;
    QString error; // not empty when the line is not understood; command is Nothing then
};

ParsedCommand parseCommand(const QString &line);

// The list above, for --help and the "help" command.
QString commandHelp();

} // namespace tarvisk::controller
