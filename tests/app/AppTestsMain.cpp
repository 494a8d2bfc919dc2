#include "support/TestMain.h"

int main(int argc, char** argv)
{
    return norvane::test::RunAllTests(argc, argv);
}
