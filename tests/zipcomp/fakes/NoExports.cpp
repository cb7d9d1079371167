// A library without the engine's exports.
extern "C" __attribute__((visibility("default"))) int FakeNothing(void)
{
    return 0;
}
