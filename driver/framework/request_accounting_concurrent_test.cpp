// The outstanding-request count under real concurrency.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "driver/framework/device_extension.h"
#include "driver/framework/driver_entry.h"
#include "driver/framework/request_accounting.h"
#include "kernel/testing/driver_loader.h"
#include "kernel/testing/kernel_model.h"

namespace {

TEST(RequestAccountingConcurrentTest, RacingAcquiresAndReleasesKeepTheCountExact) {
  kmodel::KernelOptions options;
  options.processors = kmodel::ProcessorMode::Threaded;
  kmodel::Kernel kernel(options);
  PDRIVER_OBJECT driver = kmodel::LoadDriver(DriverEntry, u"Talsen").driver;
  PDEVICE_OBJECT device;
  ASSERT_EQ(IoCreateDevice(driver, sizeof(DEVICE_EXTENSION), nullptr, FILE_DEVICE_SERIAL_PORT, 0,
                           TRUE, &device),
            STATUS_SUCCESS);
  PDEVICE_EXTENSION extension = ExtensionOf(device);
  KeInitializeEvent(&extension->RemoveEvent, NotificationEvent, FALSE);
  KeInitializeEvent(&extension->StopEvent, NotificationEvent, FALSE);
  AcquireIoReference(device);
  constexpr int kThreads = 3;
  constexpr int kPairs = 2000;
  // Work on the model's processors races the threads, as URB completions do.
  for (int i = 0; i < kPairs; ++i) {
    AcquireIoReference(device);
    kernel.QueueAtDispatch([device] { ReleaseIoReference(device); });
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([device] {
      for (int i = 0; i < kPairs; ++i) {
        AcquireIoReference(device);
        ReleaseIoReference(device);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  kernel.RunUntilIdle();
  EXPECT_EQ(extension->OutstandingIo, 1);
  EXPECT_NE(KeReadStateEvent(&extension->StopEvent), 0);
  EXPECT_EQ(KeReadStateEvent(&extension->RemoveEvent), 0);
  EXPECT_EQ(ReleaseIoReference(device), 0);
  EXPECT_NE(KeReadStateEvent(&extension->RemoveEvent), 0);
  IoDeleteDevice(device);
}

}  // namespace
