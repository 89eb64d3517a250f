// Cookie texts: the Set-Cookie lines of a response turned into "name=value; name=value", and the
// merge of such a text into the one a caller carries from request to request.
//
// A cookie text holds items separated by "; "; an item is normally name=value. Only the first
// name=value of a Set-Cookie line survives: attributes (path, domain, expiry, flags) are dropped,
// and a cookie ends only when the server sends the deletion marker "=deleted" as its value.
// Names compare byte for byte, case-sensitively.
#pragma once

#include "text/text.h"
#include "text/text_list.h"

namespace morvane {

// The cookie text of a response header block whose Set-Cookie names have already been written
// as "Set-Cookie". Each line holding "Set-Cookie" gives one item, in order: the text after
// "Set-Cookie:" up to the first ";" (or to the end of a line without ";"), trimmed of spaces.
// "Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2" -> "a=1; b=2".
Text CaptureResponseCookies(const Text& responseHeaders);

// Folds the cookies a response set (fresh) into the caller's (old): fresh items first, in their
// order, then old items whose name no earlier item has, then deletion-marked items dropped and
// exact repeats removed. Both arguments lose every space; old ends up holding the result too.
// old "a=1; b=2", fresh "b=3" -> "b=3; a=1".
Text MergeCookies(Text& old, Text& fresh);

// The text before the first "=", trimmed; an item without "=" is its own name. "a = 1" -> "a".
Text CookieName(const Text& item);

// True when some item of the list has the name.
bool HasCookieNamed(const TextList& items, const Text& name);

}  // namespace morvane
