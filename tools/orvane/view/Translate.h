// The command's own texts go through GNU gettext (text domain "orvane"):
// _("...") translates at once, N_("...") marks a text of a table that is
// translated where it is printed.
#pragma once
#include <libintl.h>

#define _(text) gettext(text)
#define N_(text) text
