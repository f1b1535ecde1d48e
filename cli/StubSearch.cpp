#include "cli/Session.h"
namespace quarnel::cli {
int runDelete(Session &s)
{
    return s.open(true) ? s.fail("not yet") : kTrouble;
}
int runReplace(Session &s)
{
    return s.open(true) ? s.fail("not yet") : kTrouble;
}
} // namespace quarnel::cli
