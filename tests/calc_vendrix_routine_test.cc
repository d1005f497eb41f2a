// The module value. Dates: comune_date_test.

#include <gtest/gtest.h>

#include "calc/vendrix_routine.h"

namespace vendrix {
namespace {

TEST(CaricaModulo, SetsTheHotel) {
  HotelCorrente = 7;
  CaricaModulo();
  EXPECT_EQ(HotelCorrente, 1);
}

}  // namespace
}  // namespace vendrix
