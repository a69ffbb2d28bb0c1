// Running a test with the legacy device interposer preloaded.
//
// The interposer takes open/ioctl/close of the device paths of the simulated
// host and is loaded with LD_PRELOAD, as on a host where the devices exist.
// A test that needs it starts with RUN_WITH_DEVICES(): in the test process
// this runs the same test again in a child process with the interposer
// preloaded and checks that the child passed; in the child it returns and the
// test body runs.
#ifndef HLVD_TESTS_SUPPORT_DEVICE_CHILD_H
#define HLVD_TESTS_SUPPORT_DEVICE_CHILD_H

namespace hlvdtest
{

// True in the child (run the body), false in the parent (done).
bool rerun_with_devices();

} // namespace hlvdtest

#define RUN_WITH_DEVICES()                                                                                             \
    do {                                                                                                               \
        if (!hlvdtest::rerun_with_devices())                                                                           \
            return;                                                                                                    \
    } while (0)

#endif
