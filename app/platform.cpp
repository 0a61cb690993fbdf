#include "platform.h"

bool prepareSession()
{
    return true;
}
