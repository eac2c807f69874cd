#include "core/FileContribution.h"

void ModelAcc::add(const ModelAcc& other)
{
    messages += other.messages;
    input += other.input;
    output += other.output;
    cacheRead += other.cacheRead;
    cacheWrite += other.cacheWrite;
    cost += other.cost;
}
