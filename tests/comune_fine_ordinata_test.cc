// SIGINT and SIGTERM end a program in order: the temporaries registered go, the exit code names
// the signal, a replacement under way is finished and one not yet begun never begins.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "comune/fine_ordinata.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

TEST(FineOrdinataTest, ASignalEndsInOrderAndOnlyAReplacementUnderWayIsFinished) {
  char modello[] = "/tmp/vendrix_fine_XXXXXX";
  ASSERT_NE(mkdtemp(modello), nullptr);
  const fs::path cartella = modello;
  for (const int segnale : {SIGTERM, SIGINT}) {
    for (const bool gia_iniziata : {false, true}) {
      SCOPED_TRACE(std::to_string(segnale) + (gia_iniziata ? " during" : " before") +
                   " the replacement");
      const fs::path temporaneo = cartella / "temporaneo", sostituito = cartella / "sostituito";
      std::ofstream(temporaneo) << "x";
      fs::remove(sostituito);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        InstallaFineOrdinata();
        const DaRimuovereAllaFine registrato(temporaneo);
        if (!gia_iniziata) raise(segnale);
        {
          const SostituzioneInCorso sostituzione;
          if (gia_iniziata) raise(segnale);
          // Time for the end to run meanwhile, were it not waiting for the replacement.
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          std::ofstream(sostituito) << "x";
        }
        for (;;) pause();
      }
      int stato = 0;
      ASSERT_EQ(waitpid(pid, &stato, 0), pid);
      ASSERT_TRUE(WIFEXITED(stato));
      EXPECT_EQ(WEXITSTATUS(stato), 128 + segnale);
      EXPECT_FALSE(fs::exists(temporaneo));
      EXPECT_EQ(fs::exists(sostituito), gia_iniziata);
    }
  }
  fs::remove_all(cartella);
}

}  // namespace
}  // namespace vendrix
