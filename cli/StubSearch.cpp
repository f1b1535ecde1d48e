#include "cli/Session.h"
namespace quarnel::cli {
int runSearch(Session &s)
{
    return s.fail("x");
}
int runDelete(Session &s)
{
    return s.fail("x");
}
int runReplace(Session &s)
{
    return s.fail("x");
}
} // namespace quarnel::cli
