// The fields of a Cell Broadcast page, or of pages joined, for the plain and
// JSON renderers of render.h.
#pragma once
#include <vector>

#include "cli/render.h"
#include "sms/cbs.h"

// The pages of a joined message: those present, in order, and the count announced (in `parts`).
using CbsJoined = Joined;

// "type: CBS" first, then the serial number and its fields, the message
// identifier with its meaning, the coding, the language, page i of n (or the
// pages of `joined`), and the text or the data.
std::vector<Field> CbsFields(const sms::CbsMessage& m, const CbsJoined* joined);
