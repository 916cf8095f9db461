// auditor-demogen: deterministic generator of the demo audit database.
//
// Writes one TAB-separated file per base table of data/schema/*.sql (columns in
// declaration order, no header) and expected.json with the row counts and sums of the
// audit views computed from the generated rows themselves.
//
// Sales, SaleLines and SalePayments are the receipt journal: besides the keys they keep
// the texts printed on the receipt (store, customer, item and payment type names) and the
// sale's keys on every line and payment, as the schema describes.
//
// File format, read by both `sqlite3 .import` (tabs mode) and `psql \copy ... (FORMAT csv,
// DELIMITER E'\t')`: a field that contains a TAB, a line break or a double quote is
// enclosed in double quotes with inner quotes doubled; an empty unquoted field is NULL
// (the SQLite loader turns the empty texts of optional columns into NULL after import).
// No field is ever an empty text.
//
// Same arguments -> same bytes: the only randomness is a seeded splitmix64, all amounts
// are integer stotinki / thousandths, and nothing depends on the clock or the locale.

#include <algorithm>
#include <cctype>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;
namespace fs = std::filesystem;

// ---------------------------------------------------------------- random numbers

class Rng {
 public:
  explicit Rng(u64 seed) : s_(seed) {}
  u64 next() {
    u64 z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n), n > 0.
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
  }
  int range(int lo, int hi) { return lo + static_cast<int>(below(static_cast<std::uint32_t>(hi - lo + 1))); }
  // True with a probability of per10k / 10000.
  bool chance(std::uint32_t per10k) { return below(10000) < per10k; }

 private:
  u64 s_;
};

// Independent streams, so that the nomenclatures do not change with the number of sales.
Rng stream(u64 seed, u64 id) {
  Rng r(seed * 0x2545F4914F6CDD1Dull + id * 0xD1B54A32D192ED03ull + 0x632BE59BD9B4E019ull);
  r.next();
  return r;
}

// ---------------------------------------------------------------- calendar

int daysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int>(doe) - 719468;
}

struct Ymd {
  int y, m, d;
};

Ymd civilFromDays(int z) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int y = static_cast<int>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), static_cast<int>(m), static_cast<int>(d)};
}

int weekday(int day) { return (day % 7 + 11) % 7; }  // 0 = Sunday
int D(int y, int m, int d) { return daysFromCivil(y, m, d); }

constexpr int kNone = -1;          // "no date" for optional dates
constexpr int kDaySec = 86400;
const int kFirstDay = D(2025, 1, 1);  // the sales period
const int kLastDay = D(2026, 12, 31);

// ---------------------------------------------------------------- text formatting

void appendInt(std::string& s, i64 v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

void appendPadded(std::string& s, i64 v, int width) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  for (int n = static_cast<int>(r.ptr - buf); n < width; ++n) s.push_back('0');
  s.append(buf, r.ptr);
}

// v / 10^decimals as decimal text.
void appendFixed(std::string& s, i64 v, int decimals) {
  if (v < 0) {
    s.push_back('-');
    v = -v;
  }
  i64 p = 1;
  for (int i = 0; i < decimals; ++i) p *= 10;
  appendInt(s, v / p);
  if (decimals > 0) {
    s.push_back('.');
    appendPadded(s, v % p, decimals);
  }
}

void appendDate(std::string& s, int day) {
  const Ymd c = civilFromDays(day);
  appendPadded(s, c.y, 4);
  s.push_back('-');
  appendPadded(s, c.m, 2);
  s.push_back('-');
  appendPadded(s, c.d, 2);
}

void appendTime(std::string& s, int sec) {
  appendPadded(s, sec / 3600, 2);
  s.push_back(':');
  appendPadded(s, sec / 60 % 60, 2);
  s.push_back(':');
  appendPadded(s, sec % 60, 2);
}

std::string dateText(int day) {
  std::string s;
  appendDate(s, day);
  return s;
}

std::string moneyText(i64 st) {
  std::string s;
  appendFixed(s, st, 2);
  return s;
}

std::string num(i64 v, int width = 0) {
  std::string s;
  appendPadded(s, v, width);
  return s;
}

// A moment as whole seconds since 1970-01-01 (local time of the stores, no time zone).
struct Moment {
  i64 t;
  int day() const { return static_cast<int>(t / kDaySec); }
  int sec() const { return static_cast<int>(t % kDaySec); }
};
Moment at(int day, int sec) { return {static_cast<i64>(day) * kDaySec + sec}; }

// ---------------------------------------------------------------- table files

class TableFile {
 public:
  TableFile(const fs::path& dir, const std::string& name) : name_(name) {
    const fs::path p = dir / (name + ".tsv");
    f_ = std::fopen(p.c_str(), "wb");
    if (!f_) throw std::runtime_error("cannot create " + p.string());
    buf_.reserve(kFlushAt + 4096);
  }
  ~TableFile() {
    if (f_) std::fclose(f_);
  }
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  TableFile& i(i64 v) { sep(); appendInt(buf_, v); return *this; }
  TableFile& money(i64 stotinki) { sep(); appendFixed(buf_, stotinki, 2); return *this; }
  TableFile& qty(i64 thousandths) { sep(); appendFixed(buf_, thousandths, 3); return *this; }
  TableFile& rate(int hundredthsOfPercent) { sep(); appendFixed(buf_, hundredthsOfPercent, 2); return *this; }
  TableFile& date(int day) {
    sep();
    if (day != kNone) appendDate(buf_, day);
    return *this;
  }
  TableFile& time(int sec) { sep(); appendTime(buf_, sec); return *this; }
  TableFile& stamp(Moment m) {
    sep();
    appendDate(buf_, m.day());
    buf_.push_back(' ');
    appendTime(buf_, m.sec());
    return *this;
  }
  TableFile& idOrNull(int v) {
    sep();
    if (v != 0) appendInt(buf_, v);
    return *this;
  }
  TableFile& text(std::string_view s) {
    sep();
    if (s.find_first_of("\t\n\r\"") == std::string_view::npos) {
      buf_.append(s);
      return *this;
    }
    buf_.push_back('"');
    for (char c : s) {
      if (c == '"') buf_.push_back('"');
      buf_.push_back(c);
    }
    buf_.push_back('"');
    return *this;
  }
  TableFile& null() { sep(); return *this; }
  TableFile& textOrNull(std::string_view s) {
    if (s.empty()) {
      sep();
      return *this;
    }
    return text(s);
  }
  void end() {
    buf_.push_back('\n');
    first_ = true;
    ++rows_;
    if (buf_.size() >= kFlushAt) flush();
  }
  void close() {
    flush();
    if (std::fclose(f_) != 0) throw std::runtime_error("cannot write " + name_);
    f_ = nullptr;
  }
  i64 rows() const { return rows_; }
  const std::string& name() const { return name_; }

 private:
  static constexpr size_t kFlushAt = 1 << 20;
  void sep() {
    if (!first_) buf_.push_back('\t');
    first_ = false;
  }
  void flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
      throw std::runtime_error("cannot write " + name_);
    buf_.clear();
  }
  std::string name_;
  std::FILE* f_ = nullptr;
  std::string buf_;
  bool first_ = true;
  i64 rows_ = 0;
};

// ---------------------------------------------------------------- nomenclature texts

const char* const kMaleFirst[] = {"Георги", "Иван", "Димитър", "Николай", "Петър", "Христо", "Стефан",
                                  "Александър", "Тодор", "Васил", "Красимир", "Стоян", "Атанас",
                                  "Борислав", "Калоян", "Мартин", "Емил", "Пламен"};
const char* const kFemaleFirst[] = {"Мария", "Елена", "Иванка", "Десислава", "Гергана", "Петя",
                                    "Силвия", "Радостина", "Теодора", "Надежда", "Цветелина",
                                    "Виктория", "Анелия", "Ралица", "Милена", "Даниела", "Яна"};
// Family names in the male form; the female form adds "а".
const char* const kFamily[] = {"Петров", "Иванов", "Георгиев", "Димитров", "Николов", "Христов",
                               "Стоянов", "Тодоров", "Попов", "Колев", "Маринов", "Янков",
                               "Ангелов", "Костадинов", "Илиев", "Кирилов", "Павлов", "Симеонов",
                               "Русев", "Минчев", "Найденов", "Добрев", "Станчев", "Славов",
                               "Бончев", "Радев", "Цонев", "Атанасов"};

const char* const kCities[] = {"София", "Пловдив", "Варна", "Бургас", "Русе", "Стара Загора",
                               "Плевен", "Велико Търново", "Благоевград", "Шумен", "Добрич",
                               "Хасково", "Перник", "Ямбол", "Пазарджик", "Габрово", "Враца",
                               "Кърджали", "Смолян", "Ловеч"};
const char* const kStreets[] = {"ул. „Васил Левски“", "бул. „България“", "ул. „Христо Ботев“",
                                "ул. „Иван Вазов“", "бул. „Цар Освободител“", "ул. „Г. С. Раковски“",
                                "ул. „Шипка“", "бул. „Христо Смирненски“", "ул. „Гео Милев“",
                                "ул. „Кирил и Методий“", "бул. „Македония“",
                                "ул. „Александър Стамболийски“", "ул. „Отец Паисий“",
                                "бул. „Източен“", "ул. „Славянска“"};
const char* const kBrands[] = {"Балкан", "Родопи", "Пирин", "Странджа", "Тракия", "Добруджа",
                               "Мизия", "Витоша", "Рила", "Стара планина", "Черноморец", "Дунав",
                               "Марица", "Искър", "Огоста", "Сакар", "Беласица", "Люлин",
                               "Осогово", "Камчия"};
const char* const kCompanyRoots[] = {
    "Агрострой", "Балкантрейд", "Витекс", "Дунав Логистик", "Евроимпекс", "Интерком",
    "Мегастрой", "Нова Медия", "Пирин Тур", "Родопи Фуудс", "Тракия Пласт", "Черноморие Турс",
    "Алфа Консулт", "Бета Строй", "Гама Инженеринг", "Делта Транс", "Елит Мебел", "Зора Агро",
    "Искра Електрик", "Калина Козметикс", "Лотос Фарм", "Марица Текс", "Орфей Вижън",
    "Пълдин Авто", "Рила Хотелс", "Сердика Офис", "Тунджа Агро", "Узана Клима",
    "Феникс Секюрити", "Хемус Метал", "Централ Ресторантс", "Янтра Принт", "Арда Вет",
    "Беласица Трейд", "Вит Енерджи", "Стрела Спорт", "Камчия Фиш", "Огоста Вайн",
    "Осъм Дистрибушън", "Странджа Бийч"};
const char* const kCompanyForms[] = {"ЕООД", "ООД", "АД"};

struct Product {
  const char* name;
  const char* size;  // empty for goods sold by weight
  int vatBp;         // VAT rate in hundredths of a percent
  int priceMin, priceMax;  // shelf price with VAT, stotinki (per kg for goods sold by weight)
  int popularity;
};

const Product kProducts[] = {
    {"Прясно мляко 3,6%", "1 л", 2000, 249, 329, 60},
    {"Кисело мляко 2%", "400 г", 2000, 119, 189, 80},
    {"Кисело мляко 3,6%", "400 г", 2000, 129, 199, 70},
    {"Айрян", "500 мл", 2000, 119, 169, 30},
    {"Сирене краве", "", 2000, 1290, 1690, 40},
    {"Сирене овче", "", 2000, 1690, 2190, 15},
    {"Кашкавал от краве мляко", "", 2000, 1790, 2490, 30},
    {"Масло краве 82%", "125 г", 2000, 339, 499, 25},
    {"Извара", "500 г", 2000, 299, 399, 10},
    {"Сметана 20%", "200 мл", 2000, 199, 289, 8},
    {"Луканка", "200 г", 2000, 599, 899, 20},
    {"Шпек салам", "300 г", 2000, 499, 699, 15},
    {"Кренвирши", "400 г", 2000, 399, 599, 25},
    {"Пилешко филе", "", 2000, 1090, 1390, 25},
    {"Свинска пържола", "", 2000, 999, 1290, 15},
    {"Кайма смесена", "", 2000, 899, 1190, 20},
    {"Кебапчета", "10 бр.", 2000, 549, 749, 20},
    {"Шунка", "200 г", 2000, 349, 499, 12},
    {"Хляб бял", "650 г", 2000, 149, 199, 90},
    {"Хляб пълнозърнест", "500 г", 2000, 219, 289, 40},
    {"Баница със сирене", "1 бр.", 2000, 199, 259, 35},
    {"Кроасан с шоколад", "80 г", 2000, 109, 159, 25},
    {"Козунак", "500 г", 2000, 599, 899, 6},
    {"Домати", "", 2000, 299, 499, 40},
    {"Краставици", "", 2000, 249, 399, 30},
    {"Картофи", "", 2000, 119, 179, 35},
    {"Лук кромид", "", 2000, 99, 149, 20},
    {"Ябълки", "", 2000, 199, 299, 30},
    {"Банани", "", 2000, 229, 279, 35},
    {"Портокали", "", 2000, 249, 329, 20},
    {"Лимони", "", 2000, 349, 449, 12},
    {"Олио слънчогледово", "1 л", 2000, 289, 379, 30},
    {"Захар бяла", "1 кг", 2000, 179, 239, 25},
    {"Брашно тип 500", "1 кг", 2000, 149, 199, 20},
    {"Ориз", "1 кг", 2000, 299, 399, 15},
    {"Боб зрял", "1 кг", 2000, 449, 599, 12},
    {"Леща червена", "500 г", 2000, 289, 379, 8},
    {"Макарони", "500 г", 2000, 159, 249, 18},
    {"Лютеница", "260 г", 2000, 329, 469, 20},
    {"Сол йодирана", "1 кг", 2000, 89, 129, 10},
    {"Оцет ябълков", "700 мл", 2000, 139, 199, 6},
    {"Кафе мляно", "250 г", 2000, 599, 899, 25},
    {"Чай билков", "20 пак.", 2000, 199, 299, 10},
    {"Шоколад млечен", "100 г", 2000, 199, 329, 30},
    {"Вафла с какаов крем", "50 г", 2000, 69, 119, 40},
    {"Бисквити", "200 г", 2000, 149, 249, 20},
    {"Яйца размер M", "10 бр.", 2000, 399, 549, 30},
    {"Минерална вода", "1,5 л", 2000, 89, 139, 60},
    {"Изворна вода", "0,5 л", 2000, 59, 89, 40},
    {"Газирана напитка кола", "2 л", 2000, 249, 329, 25},
    {"Сок портокал 100%", "1 л", 2000, 289, 399, 15},
    {"Бира светла", "0,5 л", 2000, 139, 199, 45},
    {"Бира светла кен", "0,5 л", 2000, 149, 209, 25},
    {"Вино червено сухо", "0,75 л", 2000, 699, 1499, 12},
    {"Ракия гроздова", "0,7 л", 2000, 1399, 2299, 8},
    {"Прах за пране", "3 кг", 2000, 1299, 1999, 6},
    {"Препарат за съдове", "500 мл", 2000, 249, 399, 10},
    {"Тоалетна хартия", "8 бр.", 2000, 499, 799, 12},
    {"Паста за зъби", "75 мл", 2000, 299, 549, 8},
    {"Шампоан", "400 мл", 2000, 499, 899, 7},
    {"Сапун течен", "500 мл", 2000, 249, 399, 6},
    {"Батерии AA", "4 бр.", 2000, 399, 699, 4},
    {"Детско пюре ябълка", "190 г", 900, 189, 259, 8},
    {"Детска млечна каша", "250 г", 900, 499, 699, 4},
    {"Пелени за бебе размер 4", "44 бр.", 900, 1999, 2699, 4},
    {"Книжка за оцветяване", "1 бр.", 900, 499, 899, 2},
};

// Items whose names carry the characters that matter to text export.
struct SpecialItem {
  const char* name;
  int vatBp;
  int price;
};
const SpecialItem kSpecialItems[] = {
    {"Вино бяло\tсухо „Мизия“ 0,75 л", 2000, 899},                  // TAB
    {"Кабел USB-C\\Lightning 1 м", 2000, 1299},                     // backslash
    {"Торта „Гараш“\nпарче 120 г", 2000, 459},                      // line break
    {"Бонбони \"Захарни петлета\" 150 г", 2000, 249},               // double quotes
    {"Сок ябълка – 100% „Родопи“ 1 л", 2000, 329},                  // en dash
};
const char* const kSpecialPartners[] = {
    "\"Бойчев и син\" ООД",          // double quotes
    "ЕТ „Мария Иванова – 63“",       // en dash
    "Агро\\Трейд ЕООД",              // backslash
    "Строй\tИнвест АД",              // TAB
    "Кооперация „Нива“\nс. Брестник",  // line break
};

// ---------------------------------------------------------------- model

struct Store {
  int n;
  std::string name, shortName, address;
  int createDay, changeDay, deactDay;
  bool nonStop, longHours, seaside;
  int weight;
};

struct Device {
  int n, store, posId;
  std::string serial, memory, model, name;
  int regDay, deregDay;
  int weight;
  i64 docNomer = 0;  // last receipt number
  i64 unpSeq = 0;    // last sale sequence number of the UNP
  int zReports = 0;
};

enum RoleId { kCashier = 1, kSeniorCashier, kManager, kAdmin, kAccountant, kAuditor };
const char* const kRoleNames[] = {"", "Касиер", "Старши касиер", "Управител на обект",
                                  "Администратор", "Счетоводител", "Одитор"};

struct User {
  int n;
  std::string name;
  int store;  // 0 = office
  int role;
  std::string roles, notes;
  int createDay, changeDay, deactDay;
  bool activeOn(int day) const { return createDay <= day && (deactDay == kNone || day < deactDay); }
};

struct Item {
  int n;
  std::string code, name, unit;
  int vatBp;
  i64 shelfPrice, netPrice;
  bool weighed;
  int createDay, changeDay, deactDay;
  bool activeOn(int day) const { return createDay <= day && (deactDay == kNone || day < deactDay); }
};

struct Partner {
  int n;
  std::string code, bulstat, vatNumber, name, address;
  int createDay, changeDay, deactDay;
  bool activeOn(int day) const { return createDay <= day && (deactDay == kNone || day < deactDay); }
};

struct Named {
  int code;
  std::string name;
  int createDay, changeDay, deactDay;
  bool activeOn(int day) const { return createDay <= day && (deactDay == kNone || day < deactDay); }
};

enum Op {
  kLogin = 1, kLogout, kCashIn, kCashOut, kZReport, kXReport, kReverse, kAnnul, kItemChange,
  kItemAdd, kPartnerChange, kUserAdd, kUserRights, kUserDeactivate, kDrawer, kClock
};
enum PayType { kCash = 1, kCard, kTransfer, kVoucher, kCheque, kDeferred };

struct LogEntry {
  Moment when;
  int seq;  // insertion order, breaks ties before the timestamps are made unique
  int user, role, op;
  std::string text, unp;
};

// ---------------------------------------------------------------- expected counts

enum View {
  vSummary, vDetails, vPayments, vReversed, vRevoked, vItems, vPartners, vOperations,
  vPayTypes, vStores, vUsers, vUsersLog, kViewCount
};
const char* const kViewNames[kViewCount] = {
    "SalesSummaryAudit", "SalesDetailsAudit", "SalesPaymentsAudit", "SalesReversedAudit",
    "SalesRevokedAudit", "ItemsAudit", "PartnersAudit", "OperationsAudit", "PayTypesAudit",
    "StoreNamesAudit", "UsersAudit", "UsersLogAudit"};

struct FilterRecord {
  std::string name, note;
  int from = kNone, to = kNone;  // the period applies only when both are set
  int store = 0, device = 0, user = 0;
  i64 counts[kViewCount] = {};
  i64 sumTotalWithVat = 0, sumCost = 0;

  bool period(int day) const { return from == kNone || to == kNone || (day >= from && day <= to); }
  bool match(int endDay, int st, int dev, int usr) const {
    return period(endDay) && (store == 0 || store == st) && (device == 0 || device == dev) &&
           (user == 0 || user == usr);
  }
};

// ---------------------------------------------------------------- generator

struct Options {
  i64 sales = 5000;
  u64 seed = 20261210;
  fs::path out = ".";
  bool verbose = false;
};

i64 roundDiv(i64 a, i64 b) { return (a + b / 2) / b; }  // a >= 0, b > 0

struct LineAmounts {
  i64 qty, unitPrice, discount, vat, cost, net;
};

LineAmounts lineAmounts(i64 qty, i64 unitPrice, i64 discount, int vatBp) {
  LineAmounts a{qty, unitPrice, discount, 0, 0, 0};
  a.net = roundDiv(qty * unitPrice, 1000) - discount;
  a.vat = roundDiv(a.net * vatBp, 10000);
  a.cost = a.net + a.vat;
  return a;
}

class Generator {
 public:
  explicit Generator(const Options& o) : o_(o) {}
  void run();

 private:
  void buildStores();
  void buildUsers();
  void buildItems();
  void buildPartners();
  void buildTypes();
  void buildFilters();
  void writeNomenclatures();
  void generateSales();
  void generateCell(int day, Device& dev, i64 nSales);
  int pickItem(Rng& r, int day);
  int pickPartner(Rng& r, int day);
  void makeLine(Rng& r, int day, bool invoice, LineAmounts& out, int& item);
  void addAdminLog();
  void writeLog();

  // ---- planted irregularities: sums, reversals, people
  enum class Plant {
    None, LinesShort, VatDiffers, PaymentsShort, LinesOneCent, NoLines, NoPayments, OrphanLine, OrphanPayment,
    OrphanReversal, RevLate, RevExcess, RevTwice, RevOtherOperator, ByDeactivatedUser, InactiveItem
  };
  struct PlantSpot {
    Plant what;
    int device, fromDay;
    bool done = false;
  };
  std::vector<PlantSpot> plantSpots_;
  int orphans_ = 0;
  void setUpPlants();
  Plant takePlant(int day, const Device& dev);
  int plantedUser(Plant plant, int day, const Device& dev, int user) const;
  bool plantedReversed(Plant plant, bool reversed) const;
  void plantedItem(Plant plant, int ln, int day, LineAmounts& a, int& item) const;
  LineAmounts plantedLine(Plant plant, int ln, int nLines, const LineAmounts& a) const;
  i64 plantedPaymentCut(Plant plant, bool last) const;
  void plantAfterSale(Plant plant, const Device& dev, int user, Moment me, const std::string& unp);
  void plantLogBeforeCreation();
  void expectPeopleFindings();
  void countReversedLines(Moment me, int storeN, int devN, int user, i64 count);
  void writeExpected();
  void log(Moment m, int user, int op, std::string text, std::string unp = {});
  const User& userOf(int n) const { return users_[static_cast<size_t>(n - 1)]; }

  std::string personName(Rng& r, std::set<std::string>& taken);
  std::string address(Rng& r, const std::string& city);
  std::string serialFor(Rng& r, const std::string& prefix);

  Options o_;
  std::vector<Store> stores_;
  std::vector<Device> devices_;
  std::vector<User> users_;
  std::vector<Item> items_;
  std::vector<u64> itemCum_;
  std::vector<Partner> partners_;
  std::vector<Named> ops_, payTypes_;
  std::vector<LogEntry> log_;
  std::vector<FilterRecord> filters_;
  std::vector<std::pair<std::string, std::string>> specialTexts_;  // view.column key, value
  // The findings each audit check must report over the whole data: the finding's key (its
  // key columns' texts joined with "|") by check key. Every check has an entry, also when it
  // must find nothing.
  std::map<std::string, std::vector<std::string>> checkFindings_{
      {"unp-form", {}},
      {"unp-gaps", {}},
      {"unp-doubles", {}},
      {"unp-order", {}},
      {"doc-gaps", {}},
      {"doc-doubles", {}},
      {"doc-order", {}},
      {"doc-form", {}},
      {"time-closed-before-opened", {}},
      {"time-long-open", {}},
      {"time-other-day", {}},
      {"time-invoice-before", {}},
      {"time-future", {}},
      {"time-outside-hours", {}},
      {"sale-lines", {}}, {"sale-vat", {}}, {"sale-payments", {}}, {"sale-orphans", {}},
      {"rev-late", {}}, {"rev-excess", {}}, {"rev-repeated", {}}, {"rev-orphan", {}}, {"rev-other-operator", {}},
      {"op-inactive", {}}, {"item-inactive", {}}, {"masterdata-changed", {}},
  };
  void expectFinding(const std::string& check, std::string key) { checkFindings_.at(check).push_back(std::move(key)); }
  // The findings of a check run with other parameters than its defaults, by "<check> <parameter>=<value>".
  std::map<std::string, std::vector<std::string>> checkFindingsWithParams_{
      {"time-long-open OpenMinutes=30", {}},
  };

  // Planted irregularities of numbering and times (see their functions).
  enum class NumTimeKind {
    UnpGap, DocGap, UnpDouble, DocDouble, UnpBackInTime, DocBackInTime, UnpLowercase, UnpNoDash, UnpShort, DocZero,
    ClosedBeforeOpened, OpenLong, InvoiceBefore, InvoiceFuture
  };
  struct NumTimePlant {
    NumTimeKind kind;
    int device, fromDay;
    int amount;  // numbers skipped; seconds open; the invoice's day
    bool done = false;
  };
  std::vector<NumTimePlant> numTimePlants_;
  const NumTimePlant* numTimePlant_ = nullptr;  // the plant of the document being made
  // Numbers a plant borrowed, put back before the device's next document; and the number the
  // second document of a swap takes, by device (it may come on a later day).
  i64 restoreUnpSeq_ = -1, restoreDocNomer_ = -1;
  std::map<int, i64> swapUnpSeq_, swapDocNomer_;
  void buildNumTimePlants();
  void plantNumTimeBefore(int day, Device& dev, i64 i, std::vector<bool>& annulledDoc, int& start, int& end);
  void plantNumTimeUnp(Device& dev, int user, bool annulled, std::string& unp);
  int plantNumTimeInvoiceDay(const Device& dev, int day, int openDay, const std::string& unp);
  void plantNumTimeEnd(Device& dev);
  std::vector<std::pair<std::string, i64>> tableRows_;
  std::set<std::string> serials_;

  // Totals over the whole data, stotinki.
  i64 totNoVat_ = 0, totVat_ = 0, totWithVat_ = 0, totDiscounts_ = 0;
  i64 totLineCost_ = 0, totLineVat_ = 0, totPaid_ = 0, totReversedCost_ = 0, totRevokedCost_ = 0;
  i64 salesWithInvoice_ = 0, reversedSales_ = 0, midnightSales_ = 0;

  // Output files of the sales.
  std::unique_ptr<TableFile> sales_, lines_, payments_, reversals_, annulled_, annulledLines_;
  i64 saleId_ = 0, annulId_ = 0, invoiceNo_ = 100000;  // printed with 10 digits
};

// ---- nomenclatures

std::string Generator::personName(Rng& r, std::set<std::string>& taken) {
  for (;;) {
    const bool female = r.chance(5500);
    std::string first = female ? kFemaleFirst[r.below(std::size(kFemaleFirst))]
                               : kMaleFirst[r.below(std::size(kMaleFirst))];
    std::string middle = kFamily[r.below(std::size(kFamily))];
    std::string last = kFamily[r.below(std::size(kFamily))];
    if (middle == last) continue;
    if (female) {
      middle += "а";
      last += "а";
    }
    std::string full = first + " " + middle + " " + last;
    if (taken.insert(full).second) return full;
  }
}

std::string Generator::address(Rng& r, const std::string& city) {
  return "гр. " + city + ", " + kStreets[r.below(std::size(kStreets))] + " " + num(r.range(1, 180));
}

std::string Generator::serialFor(Rng& r, const std::string& prefix) {
  for (;;) {
    std::string s = prefix + num(r.range(100000, 999999), 6);
    if (serials_.insert(s).second) return s;
  }
}

void Generator::buildStores() {
  struct Def {
    const char* chain;
    const char* city;
    const char* place;
    const char* street;
    int devices;
    int weight;
    bool nonStop, longHours, seaside;
    int open, close;  // create / deactivation day, kNone when not set
  };
  const Def defs[] = {
      {"Дравик Маркет", "София", "Младост", "ж.к. Младост 1, бул. „Александър Малинов“ 25", 3, 10, false, true, false, kNone, kNone},
      {"Дравик Маркет", "София", "Люлин", "ж.к. Люлин 5, бул. „Джавахарлал Неру“ 28", 2, 8, true, true, false, kNone, kNone},
      {"Дравик Маркет", "Пловдив", "Център", "ул. „Княз Александър I“ 42", 2, 7, false, true, false, kNone, kNone},
      {"Дравик Маркет", "Варна", "Чайка", "ж.к. Чайка, ул. „Генерал Колев“ 109", 2, 6, false, true, true, kNone, kNone},
      {"Дравик Маркет", "Бургас", "Лазур", "ж.к. Лазур, ул. „Цар Симеон I“ 67", 1, 5, false, true, true, kNone, kNone},
      {"Дравик Експрес", "Русе", "Център", "ул. „Александровска“ 97", 1, 4, false, false, false, kNone, kNone},
      {"Дравик Експрес", "Стара Загора", "Три чучура", "ж.к. Три чучура – север, бл. 12", 1, 4, false, false, false, kNone, kNone},
      {"Дравик Експрес", "Велико Търново", "Бузлуджа", "ул. „Васил Левски“ 14", 1, 3, false, false, false, D(2025, 5, 15), kNone},
      {"Дравик Експрес", "Плевен", "Дружба", "ж.к. Дружба, ул. „Гренадирска“ 3", 1, 3, false, false, false, kNone, D(2026, 6, 30)},
  };
  const char* const vendors[][3] = {{"DT", "02", "Datecs FP-700X"}, {"ZK", "50", "Tremol M20"},
                                    {"DY", "36", "Daisy Compact S"}, {"ED", "44", "Eltrade A3"}};
  Rng r = stream(o_.seed, 1);
  int storeN = 0, deviceN = 0;
  for (const Def& d : defs) {
    Store s;
    s.n = ++storeN;
    s.shortName = std::string(d.city) + ", " + d.place;
    s.name = std::string(d.chain) + " – " + s.shortName;
    s.address = std::string("гр. ") + d.city + ", " + d.street;
    s.createDay = d.open != kNone ? d.open - 20 : D(2024, 9, 1) + r.range(0, 60);
    s.deactDay = d.close;
    s.changeDay = d.close != kNone ? d.close : std::min(kLastDay, s.createDay + r.range(30, 700));
    s.nonStop = d.nonStop;
    s.longHours = d.longHours;
    s.seaside = d.seaside;
    s.weight = d.weight;
    stores_.push_back(s);
    const auto& v = vendors[(s.n - 1) % std::size(vendors)];
    for (int k = 0; k < d.devices; ++k) {
      Device dev;
      dev.n = ++deviceN;
      dev.store = s.n;
      dev.posId = k + 1;
      dev.serial = serialFor(r, v[0]);
      dev.memory = v[1] + dev.serial.substr(2);
      dev.model = v[2];
      dev.regDay = d.open != kNone ? d.open - 3 : D(2024, 10, 1) + r.range(0, 40);
      dev.deregDay = d.close;
      dev.weight = k == 0 ? 5 : (k == 1 ? 3 : 2);
      dev.docNomer = 1000 * r.range(1, 9);
      devices_.push_back(dev);
    }
    if (s.n == 3) {
      // The second register of this store was replaced in the autumn of 2025.
      Device& old = devices_.back();
      old.deregDay = D(2025, 10, 31);
      Device dev = old;
      dev.n = ++deviceN;
      dev.serial = serialFor(r, "DT");
      dev.memory = "02" + dev.serial.substr(2);
      dev.model = "Datecs DP-150X";
      dev.regDay = D(2025, 10, 31);
      dev.deregDay = d.close;
      dev.docNomer = 0;
      devices_.push_back(dev);
    }
  }
  for (Device& dev : devices_)
    dev.name = dev.serial + " – каса " + num(dev.posId) + ", " + stores_[static_cast<size_t>(dev.store - 1)].shortName;
}

void Generator::buildUsers() {
  Rng r = stream(o_.seed, 2);
  std::set<std::string> taken;
  auto add = [&](int store, int role, std::string roles, int create, int deact, std::string notes) {
    User u;
    u.n = static_cast<int>(users_.size()) + 1;
    u.name = personName(r, taken);
    u.store = store;
    u.role = role;
    u.roles = std::move(roles);
    u.notes = std::move(notes);
    u.createDay = create;
    u.deactDay = deact;
    u.changeDay = deact != kNone ? deact : std::min(kLastDay, create + r.range(0, 600));
    users_.push_back(u);
    return u.n;
  };
  const int start = D(2024, 9, 1);
  add(0, kAdmin, "Администратор", start, kNone, "Системен администратор на веригата");
  add(0, kAccountant, "Счетоводител", start + 3, kNone, "");
  add(0, kAuditor, "Одитор; Счетоводител", D(2025, 2, 1), kNone, "Достъп само за четене");
  for (const Store& s : stores_) {
    const int devices = static_cast<int>(std::count_if(devices_.begin(), devices_.end(), [&](const Device& d) {
      return d.store == s.n && d.deregDay == s.deactDay;
    }));
    const int create = s.createDay + r.range(0, 10);
    add(s.n, kManager, "Управител на обект; Старши касиер; Касиер", create, s.deactDay, "");
    add(s.n, kSeniorCashier, "Старши касиер; Касиер", create, s.deactDay, "");
    const int cashiers = 2 * devices - 1;
    for (int k = 0; k < cashiers; ++k) add(s.n, kCashier, "Касиер", create + r.range(0, 20), s.deactDay, "");
    if (s.n == 1 || s.n == 4) {
      // A cashier who left, and the one who took the place.
      const int left = s.n == 1 ? D(2025, 8, 31) : D(2026, 2, 28);
      add(s.n, kCashier, "Касиер", create, left, "Напуснал по собствено желание");
      add(s.n, kCashier, "Касиер", left - 10, kNone, "Стажант през първия месец");
    }
    if (s.n == 2) add(s.n, kCashier, "Касиер", D(2025, 11, 15), kNone, "Нощна смяна");
  }
}

std::string ean13(const std::string& twelve) {
  int sum = 0;
  for (size_t i = 0; i < 12; ++i) sum += (twelve[i] - '0') * (i % 2 ? 3 : 1);
  return twelve + static_cast<char>('0' + (10 - sum % 10) % 10);
}

void Generator::buildItems() {
  Rng r = stream(o_.seed, 3);
  std::set<std::string> codes;
  int plu = 100;
  auto add = [&](std::string name, bool weighed, int vatBp, int shelf, int popularity) {
    Item it;
    it.n = static_cast<int>(items_.size()) + 1;
    if (weighed) {
      it.code = "21" + num(plu++, 5);
    } else {
      do it.code = ean13("380" + num(r.range(0, 999999999), 9));
      while (!codes.insert(it.code).second);
    }
    it.name = std::move(name);
    it.unit = weighed ? "кг" : "бр.";
    it.weighed = weighed;
    it.vatBp = vatBp;
    it.shelfPrice = shelf;
    it.netPrice = roundDiv(static_cast<i64>(shelf) * 10000, 10000 + vatBp);
    it.createDay = D(2024, 6, 1) + r.range(0, 180);
    it.deactDay = kNone;
    if (r.chance(900)) it.createDay = kFirstDay + r.range(0, 600);  // new in the assortment
    if (r.chance(600)) it.deactDay = std::max(it.createDay + 60, kFirstDay + r.range(60, 700));
    it.changeDay = std::min(it.deactDay != kNone ? it.deactDay : kLastDay - 10, it.createDay + r.range(0, 600));
    items_.push_back(it);
    itemCum_.push_back((itemCum_.empty() ? 0 : itemCum_.back()) + static_cast<u64>(popularity));
  };
  for (const Product& p : kProducts) {
    const int variants = r.range(2, 6);
    const int first = r.range(0, static_cast<int>(std::size(kBrands)) - 1);
    for (int k = 0; k < variants; ++k) {
      const std::string brand = kBrands[(static_cast<size_t>(first) + static_cast<size_t>(k) * 7) % std::size(kBrands)];
      const bool weighed = p.size[0] == '\0';
      std::string name = std::string(p.name) + " „" + brand + "“";
      if (!weighed) name += std::string(" ") + p.size;
      add(name, weighed, p.vatBp, r.range(p.priceMin, p.priceMax), std::max(1, p.popularity * r.range(40, 160) / 100));
    }
  }
  for (const SpecialItem& s : kSpecialItems) {
    add(s.name, false, s.vatBp, s.price, 30);
    items_.back().createDay = D(2024, 9, 15);
    items_.back().deactDay = kNone;
    items_.back().changeDay = D(2025, 3, 3);
    specialTexts_.push_back({"ItemsAudit.ItemName", s.name});
  }
  // The first item is the fallback when a pick lands on an item out of the assortment.
  items_[0].createDay = D(2024, 6, 1);
  items_[0].deactDay = kNone;
}

std::string eik9(Rng& r) {
  int d[9];
  d[0] = r.range(1, 2);
  for (int i = 1; i < 8; ++i) d[i] = r.range(0, 9);
  int s = 0;
  for (int i = 0; i < 8; ++i) s += d[i] * (i + 1);
  s %= 11;
  if (s == 10) {
    s = 0;
    for (int i = 0; i < 8; ++i) s += d[i] * (i + 3);
    s %= 11;
    if (s == 10) s = 0;
  }
  d[8] = s;
  std::string t;
  for (int x : d) t.push_back(static_cast<char>('0' + x));
  return t;
}

std::string eik13(Rng& r, const std::string& nine) {
  std::string t = nine + num(r.range(1, 999), 3);
  const int w1[] = {2, 7, 3, 5}, w2[] = {4, 9, 5, 7};
  int s = 0;
  for (int i = 0; i < 4; ++i) s += (t[static_cast<size_t>(8 + i)] - '0') * w1[i];
  s %= 11;
  if (s == 10) {
    s = 0;
    for (int i = 0; i < 4; ++i) s += (t[static_cast<size_t>(8 + i)] - '0') * w2[i];
    s %= 11;
    if (s == 10) s = 0;
  }
  return t + static_cast<char>('0' + s);
}

void Generator::buildPartners() {
  Rng r = stream(o_.seed, 4);
  std::set<std::string> names, eiks;
  std::set<std::string> people;
  std::vector<std::string> all;
  for (const char* root : kCompanyRoots)
    for (const char* form : kCompanyForms)
      if (r.chance(4000)) all.push_back(std::string(root) + " " + form);
  for (int k = 0; k < 24; ++k) {
    std::string person = personName(r, people);
    person = person.substr(0, person.find(' ')) + person.substr(person.rfind(' '));
    all.push_back("ЕТ „" + person + "“");
  }
  // Deterministic shuffle, then the special names at fixed places.
  for (size_t i = all.size(); i > 1; --i) std::swap(all[i - 1], all[r.below(static_cast<std::uint32_t>(i))]);
  for (size_t k = 0; k < std::size(kSpecialPartners); ++k) {
    all.insert(all.begin() + static_cast<long>(3 + 7 * k), kSpecialPartners[k]);
    specialTexts_.push_back({"PartnersAudit.PartnerName", kSpecialPartners[k]});
  }
  for (const std::string& name : all) {
    if (!names.insert(name).second) continue;
    Partner p;
    p.n = static_cast<int>(partners_.size()) + 1;
    p.code = num(10000 + p.n * 3, 5);
    std::string nine;
    do nine = eik9(r);
    while (!eiks.insert(nine).second);
    p.bulstat = r.chance(900) ? eik13(r, nine) : nine;
    p.vatNumber = r.chance(8000) ? "BG" + nine : "";
    p.name = name;
    p.address = address(r, kCities[r.below(std::size(kCities))]);
    p.createDay = D(2024, 9, 1) + r.range(0, 120);
    if (r.chance(2000)) p.createDay = kFirstDay + r.range(0, 650);
    p.deactDay = r.chance(500) ? std::max(p.createDay + 90, kFirstDay + r.range(90, 720)) : kNone;
    p.changeDay = std::min(p.deactDay != kNone ? p.deactDay : kLastDay, p.createDay + r.range(0, 500));
    partners_.push_back(p);
  }
}

void Generator::buildTypes() {
  const int start = D(2024, 9, 1);
  const std::pair<int, const char*> ops[] = {
      {kLogin, "Вход в системата"},
      {kLogout, "Изход от системата"},
      {kCashIn, "Служебно въведена сума"},
      {kCashOut, "Служебно изведена сума"},
      {kZReport, "Дневен финансов отчет с нулиране (Z)"},
      {kXReport, "Дневен финансов отчет без нулиране (X)"},
      {kReverse, "Сторниране на продажба"},
      {kAnnul, "Анулиране на продажба"},
      {kItemChange, "Промяна на артикул"},
      {kItemAdd, "Добавяне на артикул"},
      {kPartnerChange, "Промяна на партньор"},
      {kUserAdd, "Добавяне на потребител"},
      {kUserRights, "Промяна на права на потребител"},
      {kUserDeactivate, "Деактивиране на потребител"},
      {kDrawer, "Отваряне на чекмедже без продажба"},
      {kClock, "Ръчна корекция на часовника"},
  };
  for (const auto& [code, name] : ops)
    ops_.push_back({code, name, start, code == kClock ? D(2025, 3, 31) : start + code * 3,
                    code == kClock ? D(2025, 3, 31) : kNone});
  ops_[static_cast<size_t>(kXReport - 1)].changeDay = D(2025, 7, 1);
  payTypes_ = {
      {kCash, "В брой", start, start, kNone},
      {kCard, "С карта", start, D(2025, 1, 15), kNone},
      {kTransfer, "Банков превод", start, start, kNone},
      {kVoucher, "Ваучер за храна", D(2025, 3, 1), D(2025, 3, 1), kNone},
      {kCheque, "Чек", start, D(2025, 6, 30), D(2025, 6, 30)},
      {kDeferred, "Отложено плащане", start, D(2025, 9, 1), kNone},
  };
}

void Generator::buildFilters() {
  auto devicesOf = [&](int store) {
    std::vector<int> v;
    for (const Device& d : devices_)
      if (d.store == store) v.push_back(d.n);
    return v;
  };
  auto usersOf = [&](int store) {
    std::vector<int> v;
    for (const User& u : users_)
      if (u.store == store) v.push_back(u.n);
    return v;
  };
  const int m1 = D(2026, 3, 1), m2 = D(2026, 3, 31), day = D(2026, 3, 13);
  auto add = [&](std::string name, std::string note, int from, int to, int st, int dev, int usr) {
    FilterRecord f;
    f.name = std::move(name);
    f.note = std::move(note);
    f.from = from;
    f.to = to;
    f.store = st;
    f.device = dev;
    f.user = usr;
    filters_.push_back(f);
  };
  add("all", "no filter", kNone, kNone, 0, 0, 0);
  add("month", "March 2026", m1, m2, 0, 0, 0);
  add("day", "a single day (FromDate = ToDate)", day, day, 0, 0, 0);
  add("lastDay", "the last day of the data", kLastDay, kLastDay, 0, 0, 0);
  add("before", "a year before the data: no sales rows", D(2024, 1, 1), D(2024, 12, 31), 0, 0, 0);
  add("fromOnly", "only FromDate set: no period term", m1, kNone, 0, 0, 0);
  add("store", "one store (the non-stop one)", kNone, kNone, 2, 0, 0);
  add("device", "one fiscal device", kNone, kNone, 0, devicesOf(3)[0], 0);
  add("user", "one user", kNone, kNone, 0, 0, usersOf(4)[1]);
  add("storeDeviceUser", "store + device + user", kNone, kNone, 1, devicesOf(1)[0], usersOf(1)[2]);
  add("storeOtherDevice", "store + a device of another store: no sales rows", kNone, kNone, 1, devicesOf(3)[0], 0);
  add("monthStore", "period + store", m1, m2, 4, 0, 0);
  add("monthUser", "period + user", m1, m2, 0, 0, usersOf(4)[1]);
}

void Generator::writeNomenclatures() {
  {
    TableFile t(o_.out, "Stores");
    for (const Store& s : stores_) {
      t.i(s.n).text(s.name).text(s.address).date(s.createDay).date(s.changeDay).date(s.deactDay);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  {
    TableFile t(o_.out, "FiscalDevices");
    for (const Device& d : devices_) {
      t.i(d.n).i(d.store).i(d.posId).text(d.serial).text(d.memory).text(d.model).text(d.name);
      t.date(d.regDay).date(d.deregDay);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  {
    TableFile t(o_.out, "Roles");
    for (int k = kCashier; k <= kAuditor; ++k) {
      t.i(k).text(kRoleNames[k]);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  {
    TableFile t(o_.out, "Users");
    for (const User& u : users_) {
      t.i(u.n).text(u.name).idOrNull(u.store).i(u.role).text(u.roles);
      t.date(u.createDay).date(u.changeDay).date(u.deactDay).textOrNull(u.notes);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  {
    TableFile t(o_.out, "Items");
    for (const Item& it : items_) {
      t.i(it.n).text(it.code).text(it.name).text(it.unit).rate(it.vatBp).money(it.shelfPrice).money(it.netPrice);
      t.date(it.createDay).date(it.changeDay).date(it.deactDay);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  {
    TableFile t(o_.out, "Partners");
    for (const Partner& p : partners_) {
      t.i(p.n).text(p.code).text(p.bulstat).textOrNull(p.vatNumber).text(p.name).text(p.address);
      t.date(p.createDay).date(p.changeDay).date(p.deactDay);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
  for (const auto& [file, list] : {std::pair{"OperationTypes", &ops_}, std::pair{"PayTypes", &payTypes_}}) {
    TableFile t(o_.out, file);
    for (const Named& n : *list) {
      t.i(n.code).text(n.name).date(n.createDay).date(n.changeDay).date(n.deactDay);
      t.end();
    }
    t.close();
    tableRows_.push_back({t.name(), t.rows()});
  }
}

// ---- sales

int Generator::pickItem(Rng& r, int day) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const u64 x = r.next() % itemCum_.back();
    const size_t k = static_cast<size_t>(std::upper_bound(itemCum_.begin(), itemCum_.end(), x) - itemCum_.begin());
    if (items_[k].activeOn(day)) return static_cast<int>(k);
  }
  return 0;
}

int Generator::pickPartner(Rng& r, int day) {
  for (;;) {
    const Partner& p = partners_[r.below(static_cast<std::uint32_t>(partners_.size()))];
    if (p.activeOn(day)) return p.n;
  }
}

void Generator::makeLine(Rng& r, int day, bool invoice, LineAmounts& out, int& item) {
  item = pickItem(r, day);
  const Item& it = items_[static_cast<size_t>(item)];
  i64 qty;
  if (it.weighed) {
    qty = 5 * r.range(30, 500);  // 0.150 .. 2.500 kg
  } else {
    const std::uint32_t x = r.below(10000);
    qty = 1000 * (x < 7800 ? 1 : x < 9200 ? 2 : x < 9600 ? 3 : x < 9900 ? r.range(4, 6) : r.range(10, 24));
    if (invoice && r.chance(3000)) qty *= r.range(2, 5);
  }
  const i64 before = roundDiv(qty * it.netPrice, 1000);
  i64 discount = 0;
  if (r.chance(invoice ? 2500 : 700)) {
    static const int pct[] = {5, 10, 15, 20, 25, 30};
    discount = roundDiv(before * pct[r.below(std::size(pct))], 100);
    if (discount >= before) discount = 0;
  }
  out = lineAmounts(qty, it.netPrice, discount, it.vatBp);
}

void Generator::log(Moment m, int user, int op, std::string text, std::string unp) {
  log_.push_back({m, static_cast<int>(log_.size()), user, userOf(user).role, op, std::move(text), std::move(unp)});
}

// Sales of one register on one day.
void Generator::generateCell(int day, Device& dev, i64 nSales) {
  const Store& st = stores_[static_cast<size_t>(dev.store - 1)];
  Rng r = stream(o_.seed, 1000 + static_cast<u64>(day - kFirstDay) * 64 + static_cast<u64>(dev.n));

  // Opening hours; the non-stop store counts its day from 00:10 to 00:10 the next morning.
  const int wd = weekday(day);
  int open = 8 * 3600, close = 21 * 3600;
  if (st.nonStop) {
    open = 600;
    close = kDaySec + 600;
  } else if (wd == 0) {
    open = 9 * 3600;
    close = st.longHours ? 19 * 3600 : 14 * 3600;
  } else if (!st.longHours) {
    close = 20 * 3600;
  }

  // Shift operators: the store's active users in rotation, two shifts on long days.
  std::vector<int> staff;
  for (const User& u : users_)
    if (u.store == st.n && u.activeOn(day)) staff.push_back(u.n);
  if (staff.empty()) throw std::logic_error("a store without staff: " + st.name);
  const size_t k = staff.size();
  const size_t j = static_cast<size_t>(dev.posId - 1);
  const int opA = staff[(static_cast<size_t>(day) + 2 * j) % k];
  const int opB = staff[(static_cast<size_t>(day) + 2 * j + 1) % k];
  const bool twoShifts = close - open >= 12 * 3600 && opA != opB;
  const int middle = open + (close - open) / 2;

  // Documents: the sales with a few annulled receipts among them.
  std::vector<bool> annulledDoc;
  annulledDoc.reserve(static_cast<size_t>(nSales) + 8);
  for (i64 i = 0; i < nSales; ++i) {
    if (r.chance(80)) annulledDoc.push_back(true);
    annulledDoc.push_back(false);
  }
  const i64 m = static_cast<i64>(annulledDoc.size());
  const i64 slot = std::max<i64>(1, (close - open) / m);

  i64 turnover = 0;
  int firstStart = -1, lastEnd = 0;
  for (i64 i = 0; i < m; ++i) {
    int start = static_cast<int>(open + i * slot + r.below(static_cast<std::uint32_t>(std::max<i64>(1, slot / 4))));
    int end = start + 10 + static_cast<int>(r.below(static_cast<std::uint32_t>(std::max<i64>(1, std::min<i64>(300, slot / 2)))));
    const i64 slotStart = open + i * slot, slotEnd = slotStart + slot;
    if (st.nonStop && day % 11 == 0 && slotStart <= kDaySec - 100 && slotEnd >= kDaySec + 100) {
      // Now and then a sale of the non-stop store is opened before midnight and closed after it.
      start = std::max(start, kDaySec - 100 + static_cast<int>(r.below(60)));
      end = start + 130 + static_cast<int>(r.below(static_cast<std::uint32_t>(std::max<i64>(1, std::min<i64>(200, slotEnd - start - 131)))));
    }
    plantNumTimeBefore(day, dev, i, annulledDoc, start, end);
    if (firstStart < 0) firstStart = start;
    lastEnd = end;
    const Moment ms = at(day, start), me = at(day, end);
    const Plant plant = annulledDoc[static_cast<size_t>(i)] ? Plant::None : takePlant(me.day(), dev);
    const int user = plantedUser(plant, me.day(), dev, twoShifts && start >= middle ? opB : opA);
    const int storeN = st.n, devN = dev.n;
    ++dev.docNomer;
    ++dev.unpSeq;
    std::string unp = dev.serial + "-" + num(user, 4) + "-" + num(dev.unpSeq, 7);
    plantNumTimeUnp(dev, user, annulledDoc[static_cast<size_t>(i)], unp);

    if (annulledDoc[static_cast<size_t>(i)]) {
      ++annulId_;
      const int nLines = r.range(1, 4);
      for (int ln = 1; ln <= nLines; ++ln) {
        LineAmounts a;
        int item;
        makeLine(r, day, false, a, item);
        annulledLines_->i(annulId_).i(ln).i(items_[static_cast<size_t>(item)].n).qty(a.qty).money(a.unitPrice);
        annulledLines_->money(a.discount).rate(items_[static_cast<size_t>(item)].vatBp).money(a.vat).money(a.cost);
        annulledLines_->end();
        totRevokedCost_ += a.cost;
        for (FilterRecord& f : filters_)
          if (f.match(me.day(), storeN, devN, user)) ++f.counts[vRevoked];
      }
      static const char* const reasons[] = {"Грешно маркирана стока", "Клиентът се отказа",
                                            "Недостатъчна наличност в брой", "Техническа грешка"};
      annulled_->i(annulId_).text(unp).i(dev.docNomer).i(storeN).i(devN).i(dev.posId).i(user);
      annulled_->date(ms.day()).time(ms.sec()).date(me.day()).time(me.sec()).text(reasons[r.below(std::size(reasons))]);
      annulled_->end();
      log(me, user, kAnnul, "Анулиран документ № " + num(dev.docNomer), unp);
      continue;
    }

    ++saleId_;
    if (ms.day() != me.day()) {
      ++midnightSales_;
      expectFinding("time-other-day", unp);
    }
    const bool invoice = r.chance(st.n == 1 || st.n == 3 ? 600 : 350);
    const int partner = invoice ? pickPartner(r, me.day()) : 0;
    const Partner* customer = partner ? &partners_[static_cast<size_t>(partner - 1)] : nullptr;

    // Lines.
    static const std::uint32_t lineCum[] = {2600, 4700, 6300, 7500, 8400, 9000, 9400, 9650};
    const std::uint32_t x = r.below(10000);
    int nLines = 1;
    while (nLines <= 8 && x >= lineCum[nLines - 1]) ++nLines;
    if (nLines > 8) nLines = r.range(9, 15);
    const bool reversed = plantedReversed(plant, r.chance(150));
    const int reversals = reversed ? (plant == Plant::RevTwice ? 2 : 1) : 0;
    i64 noVat = 0, vat = 0, withVat = 0, discounts = 0;
    for (int ln = 1; ln <= nLines; ++ln) {
      LineAmounts a;
      int item;
      makeLine(r, day, invoice, a, item);
      plantedItem(plant, ln, me.day(), a, item);
      const Item& it = items_[static_cast<size_t>(item)];
      noVat += a.net;
      vat += a.vat;
      withVat += a.cost;
      discounts += a.discount;
      if (plant == Plant::NoLines) continue;
      const LineAmounts shown = plantedLine(plant, ln, nLines, a);
      lines_->i(saleId_).i(ln).text(unp).i(dev.docNomer).date(me.day()).i(storeN).i(devN).i(user);
      lines_->i(it.n).text(it.code).text(it.name).qty(shown.qty).money(shown.unitPrice).money(shown.discount).rate(it.vatBp).money(shown.vat).money(shown.cost);
      lines_->end();
      totLineCost_ += shown.cost;
      totLineVat_ += shown.vat;
      for (FilterRecord& f : filters_)
        if (f.match(me.day(), storeN, devN, user)) {
          ++f.counts[vDetails];
          f.sumCost += shown.cost;
          f.counts[vReversed] += reversals;
        }
      totReversedCost_ += reversals * shown.cost;
    }

    // Payments: their amounts add up to the sale; each carries its share of the VAT.
    struct Pay {
      int type;
      i64 amount;
      int day;
    };
    std::vector<Pay> pays;
    const std::uint32_t y = r.below(10000);
    auto usable = [&](int type) { return payTypes_[static_cast<size_t>(type - 1)].activeOn(me.day()); };
    if (invoice) {
      if (y < 4500) pays.push_back({kTransfer, withVat, me.day() + r.range(0, 5)});
      else if (y < 5500) pays.push_back({kDeferred, withVat, me.day() + r.range(7, 30)});
      else pays.push_back({y < 8000 ? kCard : kCash, withVat, me.day()});
    } else if (y < 5200) {
      pays.push_back({kCash, withVat, me.day()});
    } else if (y < 9300) {
      pays.push_back({kCard, withVat, me.day()});
    } else if (y < 9500 && usable(kVoucher)) {
      pays.push_back({kVoucher, withVat, me.day()});
    } else if (y < 9550 && usable(kCheque)) {
      pays.push_back({kCheque, withVat, me.day()});
    } else if (withVat >= 200) {
      const i64 card = std::max<i64>(1, withVat * r.range(30, 80) / 100);
      pays.push_back({kCash, withVat - card, me.day()});
      pays.push_back({kCard, card, me.day()});
    } else {
      pays.push_back({kCash, withVat, me.day()});
    }
    i64 vatLeft = vat, amountLeft = withVat;
    for (size_t p = 0; p < pays.size(); ++p) {
      const Pay& pay = pays[p];
      const bool last = p + 1 == pays.size();
      const i64 payVat = last ? vatLeft : roundDiv(vat * pay.amount, withVat);
      vatLeft -= payVat;
      amountLeft -= pay.amount;
      if (plant == Plant::NoPayments) continue;
      const i64 paid = pay.amount - plantedPaymentCut(plant, last);
      payments_->i(saleId_).i(static_cast<i64>(p) + 1).text(unp).i(dev.docNomer).date(ms.day()).date(me.day());
      payments_->i(storeN).text(st.name).i(devN).i(user).textOrNull(customer ? customer->code : "");
      payments_->textOrNull(customer ? customer->name : "");
      payments_->i(pay.type).text(payTypes_[static_cast<size_t>(pay.type - 1)].name).money(paid).money(paid - payVat).money(payVat).date(pay.day);
      payments_->end();
      totPaid_ += paid;
      for (FilterRecord& f : filters_)
        if (f.match(me.day(), storeN, devN, user)) ++f.counts[vPayments];
    }
    if (amountLeft != 0 || vatLeft != 0) throw std::logic_error("payments do not add up");

    // The sale.
    sales_->i(saleId_).text(unp).i(dev.docNomer).i(storeN).text(st.name).i(devN).i(dev.posId).i(user);
    sales_->idOrNull(partner).textOrNull(customer ? customer->code : "").textOrNull(customer ? customer->name : "");
    sales_->date(ms.day()).time(ms.sec()).date(me.day()).time(me.sec());
    sales_->money(noVat).money(discounts).money(vat).money(withVat);
    if (invoice) {
      ++invoiceNo_;
      ++salesWithInvoice_;
      sales_->text(num(invoiceNo_, 10)).date(plantNumTimeInvoiceDay(dev, me.day(), ms.day(), unp));
    } else {
      sales_->null().null();
    }
    sales_->end();
    totNoVat_ += noVat;
    totVat_ += vat;
    totWithVat_ += withVat;
    totDiscounts_ += discounts;
    turnover += withVat;
    for (FilterRecord& f : filters_)
      if (f.match(me.day(), storeN, devN, user)) {
        ++f.counts[vSummary];
        f.sumTotalWithVat += withVat;
      }

    if (reversed) {
      ++reversedSales_;
      static const char* const reasons[] = {"Върната стока", "Рекламация", "Грешен начин на плащане",
                                            "Грешно маркирана стока", "Грешка на оператора"};
      // Reversed by the sale's own operator a few minutes later at the till, the same day
      // (the draws are those of the former choice between that and one of the next days).
      const int later = static_cast<int>(r.below(4));
      const std::uint32_t x = r.below(later == 0 ? 3000 : 10 * 3600);
      Moment when{me.t + std::min<i64>(300 + x % 3000, kDaySec - 1 - me.sec())};
      int by = user;
      if (plant == Plant::RevLate) {
        when = at(me.day() + (later == 0 ? 2 : later), 9 * 3600 + static_cast<int>(x % (10 * 3600)));
        expectFinding("rev-late", unp);
      } else if (plant == Plant::RevOtherOperator) {
        by = staff[0] != user ? staff[0] : staff[1];  // the store's manager, or the next in the staff
        expectFinding("rev-other-operator", unp + "|" + std::to_string(by));
      }
      const std::string text = "Сторно на продажба № " + num(dev.docNomer) + " за " + moneyText(withVat) + " лв.";
      reversals_->i(saleId_).date(when.day()).time(when.sec()).i(by).text(reasons[r.below(std::size(reasons))]);
      reversals_->end();
      log(when, by, kReverse, text, unp);
      if (plant == Plant::RevTwice) {
        // Reversed once more a few minutes later.
        const Moment again{when.t + std::min<i64>(240, kDaySec - 1 - when.sec())};
        reversals_->i(saleId_).date(again.day()).time(again.sec()).i(by).text("Грешка на оператора");
        reversals_->end();
        log(again, by, kReverse, text, unp);
      }
    }
    plantAfterSale(plant, dev, user, me, unp);
  }

  plantNumTimeEnd(dev);

  // The register's day in the users' log.
  log(at(day, std::max(0, firstStart - 60 - static_cast<int>(r.below(600)))), opA, kLogin, "Вход на каса " + dev.serial);
  log(at(day, std::max(0, firstStart - 30)), opA, kCashIn, "Служебно въведени 100.00 лв. в каса " + dev.serial);
  if (r.chance(1000)) log(at(day, std::max(0, firstStart - 20)), opA, kDrawer, "Отваряне на чекмедже на каса " + dev.serial);
  if (twoShifts && lastEnd >= middle) {
    log(at(day, middle - 20), opA, kXReport, "Междинен отчет на каса " + dev.serial);
    log(at(day, middle - 10), opA, kLogout, "Изход от каса " + dev.serial);
    log(at(day, middle - 5), opB, kLogin, "Вход на каса " + dev.serial);
  }
  const int closer = twoShifts && lastEnd >= middle ? opB : opA;
  log(at(day, lastEnd + 60), closer, kCashOut, "Служебно изведени " + moneyText(turnover / 2) + " лв. от каса " + dev.serial);
  log(at(day, lastEnd + 120), closer, kZReport,
      "Z отчет № " + num(++dev.zReports) + " на каса " + dev.serial + ", оборот " + moneyText(turnover) + " лв.");
  log(at(day, lastEnd + 180), closer, kLogout, "Изход от каса " + dev.serial);
}

void Generator::generateSales() {
  // Weight of every register-day; the sales are shared out by cumulative weight, so that
  // exactly o_.sales sales come out whatever the weights.
  struct Cell {
    int day;
    int device;
    u64 weight;
  };
  std::vector<Cell> cells;
  u64 total = 0;
  static const int weekdayFactor[] = {70, 90, 90, 95, 100, 125, 140};  // Sunday first
  static const int monthFactor[] = {0, 85, 85, 95, 100, 100, 105, 110, 110, 100, 100, 105, 135};
  for (int day = kFirstDay; day <= kLastDay; ++day) {
    const Ymd c = civilFromDays(day);
    for (const Device& dev : devices_) {
      const Store& st = stores_[static_cast<size_t>(dev.store - 1)];
      if (day < dev.regDay || (dev.deregDay != kNone && day >= dev.deregDay)) continue;
      if (day < st.createDay + 20 || (st.deactDay != kNone && day >= st.deactDay)) continue;
      if (!st.nonStop && c.m == 1 && c.d == 1) continue;  // closed on New Year's Day
      u64 w = static_cast<u64>(st.weight * dev.weight * weekdayFactor[weekday(day)] * monthFactor[c.m]);
      if (st.seaside && c.m >= 6 && c.m <= 9) w = w * 3 / 2;
      w = w * static_cast<u64>(1000 + (day - kFirstDay) * 300 / (kLastDay - kFirstDay)) / 1000;  // growth
      cells.push_back({day, dev.n, w});
      total += w;
    }
  }
  sales_ = std::make_unique<TableFile>(o_.out, "Sales");
  lines_ = std::make_unique<TableFile>(o_.out, "SaleLines");
  payments_ = std::make_unique<TableFile>(o_.out, "SalePayments");
  reversals_ = std::make_unique<TableFile>(o_.out, "SaleReversals");
  annulled_ = std::make_unique<TableFile>(o_.out, "AnnulledSales");
  annulledLines_ = std::make_unique<TableFile>(o_.out, "AnnulledSaleLines");
  u64 cum = 0;
  i64 given = 0;
  const auto n = static_cast<unsigned __int128>(o_.sales);
  for (const Cell& c : cells) {
    cum += c.weight;
    const i64 upTo = static_cast<i64>(n * cum / total);
    const i64 here = upTo - given;
    given = upTo;
    if (here > 0) generateCell(c.day, devices_[static_cast<size_t>(c.device - 1)], here);
  }
  for (auto* t : {&sales_, &lines_, &payments_, &reversals_, &annulled_, &annulledLines_}) {
    (*t)->close();
    tableRows_.push_back({(*t)->name(), (*t)->rows()});
  }
}

// ---- planted irregularities: numbering and times
//
// Each plant is made on the first document of a given fiscal device on or after a given day
// (the first sale, or the first invoiced sale, where the plant needs one), so that the data of
// any size has it. Apart from the plant itself the document takes the device's next numbers
// as any other: a skipped, doubled or swapped number is the plant, and a document with a
// malformed UNP or document number leaves its number to the next document, so the numbering
// of the well-formed ones stays whole.

void Generator::buildNumTimePlants() {
  using K = NumTimeKind;
  numTimePlants_ = {
      {K::UnpGap, 1, D(2025, 3, 10), 1},         // one UNP number missing, store 1
      {K::UnpGap, 9, D(2026, 4, 20), 3},         // three UNP numbers missing, store 4
      {K::DocGap, 12, D(2025, 9, 5), 2},         // two document numbers missing, store 6
      {K::UnpDouble, 4, D(2025, 6, 15), 0},      // the previous UNP number again, another operator code, store 2
      {K::UnpDouble, 13, D(2026, 10, 6), 0},     // and on store 7
      {K::DocDouble, 13, D(2026, 2, 10), 0},     // the previous document number again, store 7
      {K::UnpBackInTime, 2, D(2026, 5, 12), 0},  // UNP numbers of two documents swapped, store 1
      {K::DocBackInTime, 10, D(2025, 11, 20), 0},  // document numbers of two documents swapped, store 4
      {K::UnpLowercase, 3, D(2025, 7, 7), 0},    // malformed UNPs: lowercase serial (store 1),
      {K::UnpNoDash, 6, D(2026, 3, 3), 0},       // a dash missing on a revoked sale (store 3),
      {K::UnpShort, 11, D(2026, 9, 9), 0},       // a sequence number of 6 digits (store 5)
      {K::DocZero, 14, D(2026, 1, 20), 0},       // document number 0, store 8
      {K::ClosedBeforeOpened, 1, D(2025, 5, 5), 300},
      {K::ClosedBeforeOpened, 12, D(2026, 8, 18), 4000},
      {K::OpenLong, 3, D(2025, 10, 14), 3660},   // just over 60 minutes
      {K::OpenLong, 9, D(2026, 11, 3), 5 * 3600 + 120},
      {K::OpenLong, 2, D(2026, 2, 24), 3540},    // just under 60 minutes: flagged only at a lower limit
      {K::InvoiceBefore, 1, D(2026, 6, 1), 2},   // invoice dated 2 days before the sale
      {K::InvoiceFuture, 9, D(2025, 12, 1), D(2031, 3, 15)},  // invoice dated in 2031: only its date moves
  };
}

// Before the document's numbers are taken: puts back the numbers a previous plant borrowed,
// gives the second document of a swap its number, and applies a plant due on this document.
void Generator::plantNumTimeBefore(int day, Device& dev, i64 i, std::vector<bool>& annulledDoc, int& start, int& end) {
  using K = NumTimeKind;
  numTimePlant_ = nullptr;
  if (restoreUnpSeq_ >= 0) dev.unpSeq = std::exchange(restoreUnpSeq_, -1);
  if (restoreDocNomer_ >= 0) dev.docNomer = std::exchange(restoreDocNomer_, -1);
  if (const auto it = swapUnpSeq_.find(dev.n); it != swapUnpSeq_.end()) {
    restoreUnpSeq_ = dev.unpSeq;
    dev.unpSeq = it->second;
    swapUnpSeq_.erase(it);
    return;
  }
  if (const auto it = swapDocNomer_.find(dev.n); it != swapDocNomer_.end()) {
    restoreDocNomer_ = dev.docNomer;
    dev.docNomer = it->second;
    swapDocNomer_.erase(it);
    return;
  }
  const bool annulled = annulledDoc[static_cast<size_t>(i)];
  for (NumTimePlant& p : numTimePlants_) {
    if (p.done || p.device != dev.n || day < p.fromDay) continue;
    const std::string serial = dev.serial + "|";
    switch (p.kind) {
      case K::UnpGap:
        if (dev.unpSeq < 1) continue;
        expectFinding("unp-gaps", serial + num(dev.unpSeq + 1) + "|" + num(dev.unpSeq + p.amount));
        dev.unpSeq += p.amount;
        break;
      case K::DocGap:
        if (dev.docNomer < 1) continue;
        expectFinding("doc-gaps", num(dev.n) + "|" + num(dev.docNomer + 1) + "|" + num(dev.docNomer + p.amount));
        dev.docNomer += p.amount;
        break;
      case K::UnpDouble:
        if (dev.unpSeq < 1) continue;
        expectFinding("unp-doubles", serial + num(dev.unpSeq));
        --dev.unpSeq;
        break;
      case K::DocDouble:
        if (dev.docNomer < 1) continue;
        expectFinding("doc-doubles", num(dev.n) + "|" + num(dev.docNomer));
        --dev.docNomer;
        break;
      case K::UnpBackInTime:  // this document takes the second next number, the device's next one the first
        if (dev.unpSeq < 1) continue;
        expectFinding("unp-order", serial + num(dev.unpSeq + 2));
        swapUnpSeq_[dev.n] = dev.unpSeq;
        dev.unpSeq += 1;
        break;
      case K::DocBackInTime:
        if (dev.docNomer < 1) continue;
        expectFinding("doc-order", num(dev.n) + "|" + num(dev.docNomer + 2));
        swapDocNomer_[dev.n] = dev.docNomer;
        dev.docNomer += 1;
        break;
      case K::UnpNoDash:  // on a revoked sale: the document is made one
        annulledDoc[static_cast<size_t>(i)] = true;
        break;
      case K::UnpLowercase:
      case K::UnpShort:
        if (annulled) continue;
        break;
      case K::DocZero:
        if (annulled) continue;
        restoreDocNomer_ = dev.docNomer;
        dev.docNomer = -1;
        break;
      case K::ClosedBeforeOpened:  // opened some minutes after it was closed, the same day
        if (annulled || end + p.amount >= kDaySec) continue;
        start = end + p.amount;
        break;
      case K::OpenLong:  // opened long before it was closed, the same day
        if (annulled || end - p.amount < 0) continue;
        start = end - p.amount;
        break;
      case K::InvoiceBefore:
      case K::InvoiceFuture:
        continue;  // on the invoice's day (plantNumTimeInvoiceDay)
    }
    p.done = true;
    numTimePlant_ = &p;
    return;
  }
}

// Once the UNP is made: malforms it or changes its operator code, and records the findings
// of the plants that are known by the UNP.
void Generator::plantNumTimeUnp(Device& dev, int user, bool annulled, std::string& unp) {
  if (!numTimePlant_) return;
  using K = NumTimeKind;
  const std::string kind = annulled ? "Анулирана продажба" : "Продажба";
  switch (numTimePlant_->kind) {
    case K::UnpDouble:  // the UNP differs from the first one's by its operator code
      unp = dev.serial + "-" + num(user % 9999 + 1, 4) + "-" + num(dev.unpSeq, 7);
      break;
    case K::UnpLowercase:
    case K::UnpNoDash:
    case K::UnpShort:
      if (numTimePlant_->kind == K::UnpLowercase)
        for (char& c : unp) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      else if (numTimePlant_->kind == K::UnpNoDash)
        unp.erase(8, 1);
      else
        unp.erase(14, 1);
      --dev.unpSeq;  // the next document takes the number
      expectFinding("unp-form", unp + "|" + kind);
      break;
    case K::DocZero:
      expectFinding("doc-form", unp + "|" + kind);
      break;
    case K::ClosedBeforeOpened:
      expectFinding("time-closed-before-opened", unp);
      break;
    case K::OpenLong:
      if (numTimePlant_->amount > 3600) expectFinding("time-long-open", unp);
      checkFindingsWithParams_.at("time-long-open OpenMinutes=30").push_back(unp);
      break;
    default:
      break;
  }
}

// The day of an invoiced sale's invoice: the sale's closing day unless a plant dates it.
int Generator::plantNumTimeInvoiceDay(const Device& dev, int day, int openDay, const std::string& unp) {
  for (NumTimePlant& p : numTimePlants_) {
    if (p.done || p.device != dev.n || day < p.fromDay) continue;
    if (p.kind == NumTimeKind::InvoiceBefore) {
      p.done = true;
      expectFinding("time-invoice-before", unp);
      return openDay - p.amount;
    }
    if (p.kind == NumTimeKind::InvoiceFuture) {
      p.done = true;
      expectFinding("time-future", unp);
      return p.amount;
    }
  }
  return day;
}

// After the register's last document of the day: puts back what the last plant borrowed.
void Generator::plantNumTimeEnd(Device& dev) {
  if (restoreUnpSeq_ >= 0) dev.unpSeq = std::exchange(restoreUnpSeq_, -1);
  if (restoreDocNomer_ >= 0) dev.docNomer = std::exchange(restoreDocNomer_, -1);
  numTimePlant_ = nullptr;
}

// ---- planted irregularities: sums, reversals, people
//
// Each plant is made on the first sale a register closes on or after a given day, so that it
// lands in the data whatever the number of sales. A planted sale takes the register's next
// UNP and receipt number like any other. Lines, payments and a reversal without a sale get a
// UNP of the register and operator with a sequence number no sale reaches (9 999 9xx) and a
// SaleId above every sale's.

void Generator::setUpPlants() {
  plantSpots_ = {
      {Plant::LinesShort, 1, D(2025, 3, 10)},
      {Plant::VatDiffers, 4, D(2026, 2, 5)},
      {Plant::PaymentsShort, 9, D(2025, 7, 20)},
      {Plant::LinesOneCent, 6, D(2026, 4, 14)},
      {Plant::NoLines, 2, D(2026, 5, 11)},
      {Plant::NoPayments, 11, D(2025, 9, 3)},
      {Plant::OrphanLine, 4, D(2025, 6, 2)},
      {Plant::OrphanPayment, 9, D(2026, 3, 16)},
      {Plant::OrphanReversal, 12, D(2026, 1, 13)},
      {Plant::RevLate, 1, D(2025, 11, 5)},
      {Plant::RevLate, 10, D(2026, 3, 9)},
      {Plant::RevExcess, 6, D(2025, 5, 19)},
      {Plant::RevTwice, 5, D(2026, 8, 21)},
      {Plant::RevOtherOperator, 3, D(2025, 12, 2)},
      {Plant::RevOtherOperator, 9, D(2026, 9, 8)},
      {Plant::ByDeactivatedUser, 1, D(2025, 10, 7)},
      {Plant::InactiveItem, 13, D(2026, 10, 6)},
  };
}

Generator::Plant Generator::takePlant(int day, const Device& dev) {
  for (PlantSpot& spot : plantSpots_)
    if (!spot.done && spot.device == dev.n && day >= spot.fromDay) {
      spot.done = true;
      return spot.what;
    }
  return Plant::None;
}

// A sale by a cashier of the store who left before the day.
int Generator::plantedUser(Plant plant, int day, const Device& dev, int user) const {
  if (plant != Plant::ByDeactivatedUser) return user;
  for (const User& u : users_)
    if (u.store == dev.store && u.deactDay != kNone && u.deactDay < day) return u.n;
  throw std::logic_error("no deactivated operator to plant a sale by");
}

// The reversal plants are reversed; the other planted sales are not, so that they show in
// their own check only.
bool Generator::plantedReversed(Plant plant, bool reversed) const {
  switch (plant) {
    case Plant::None:
    case Plant::OrphanLine:
    case Plant::OrphanPayment:
    case Plant::OrphanReversal: return reversed;
    case Plant::RevLate:
    case Plant::RevExcess:
    case Plant::RevTwice:
    case Plant::RevOtherOperator: return true;
    default: return false;
  }
}

// The first line of the planted sale sells an item deactivated before the day.
void Generator::plantedItem(Plant plant, int ln, int day, LineAmounts& a, int& item) const {
  if (plant != Plant::InactiveItem || ln != 1) return;
  for (size_t k = 0; k < items_.size(); ++k)
    if (items_[k].deactDay != kNone && items_[k].deactDay < day) {
      item = static_cast<int>(k);
      a = lineAmounts(1000, items_[k].netPrice, 0, items_[k].vatBp);
      return;
    }
  throw std::logic_error("no deactivated item to plant a sale of");
}

// A line as written: the planted sales' last line is off by the plant's amount.
LineAmounts Generator::plantedLine(Plant plant, int ln, int nLines, const LineAmounts& a) const {
  LineAmounts shown = a;
  if (ln != nLines) return shown;
  if (plant == Plant::LinesShort) shown.cost -= 50;    // lines 0.50 short of the amount due
  if (plant == Plant::LinesOneCent) shown.cost -= 1;   // 0.01 short: within the default tolerance
  if (plant == Plant::VatDiffers) shown.vat += 10;     // the lines' VAT 0.10 above the sale's
  if (plant == Plant::RevExcess) shown.cost += 200;    // the lines, and so the reversal, 2.00 above the sale
  return shown;
}

// The last payment of the planted sale 0.50 short.
i64 Generator::plantedPaymentCut(Plant plant, bool last) const { return plant == Plant::PaymentsShort && last ? 50 : 0; }

void Generator::countReversedLines(Moment me, int storeN, int devN, int user, i64 count) {
  for (FilterRecord& f : filters_)
    if (f.match(me.day(), storeN, devN, user)) f.counts[vReversed] += count;
}

void Generator::plantAfterSale(Plant plant, const Device& dev, int user, Moment me, const std::string& unp) {
  const Store& st = stores_[static_cast<size_t>(dev.store - 1)];
  switch (plant) {
    case Plant::None:
    case Plant::LinesOneCent:
    case Plant::RevLate:
    case Plant::RevOtherOperator: return;  // nothing more, or recorded where made
    case Plant::LinesShort: expectFinding("sale-lines", unp); return;
    case Plant::VatDiffers: expectFinding("sale-vat", unp); return;
    case Plant::PaymentsShort: expectFinding("sale-payments", unp); return;
    case Plant::NoLines: expectFinding("sale-orphans", unp + "|Продажба без редове"); return;
    case Plant::NoPayments: expectFinding("sale-orphans", unp + "|Продажба без плащания"); return;
    case Plant::RevExcess:
      expectFinding("rev-excess", unp);
      expectFinding("sale-lines", unp);
      return;
    case Plant::RevTwice:
      expectFinding("rev-repeated", unp);
      expectFinding("rev-excess", unp);  // reversed twice: twice the sale's amount
      return;
    case Plant::ByDeactivatedUser: expectFinding("op-inactive", "Продажба|" + unp + "||" + std::to_string(user)); return;
    case Plant::InactiveItem:
      for (const Item& it : items_)
        if (it.deactDay != kNone && it.deactDay < me.day()) {
          expectFinding("item-inactive", it.code + "|" + unp);
          return;
        }
      return;
    case Plant::OrphanLine:
    case Plant::OrphanPayment:
    case Plant::OrphanReversal: break;
  }
  // Rows of a sale that is not there, written next to this sale of the register.
  const int k = ++orphans_;
  const std::string orphanUnp = dev.serial + "-" + num(user, 4) + "-" + num(9999900 + k, 7);
  const i64 saleId = 2000000000 + k;
  if (plant == Plant::OrphanPayment) {
    const i64 amount = 1234, vat = roundDiv(amount * 2000, 12000);
    payments_->i(saleId).i(1).text(orphanUnp).i(dev.docNomer).date(me.day()).date(me.day());
    payments_->i(st.n).text(st.name).i(dev.n).i(user).null().null();
    payments_->i(kCash).text(payTypes_[kCash - 1].name).money(amount).money(amount - vat).money(vat).date(me.day());
    payments_->end();
    totPaid_ += amount;
    for (FilterRecord& f : filters_)
      if (f.match(me.day(), st.n, dev.n, user)) ++f.counts[vPayments];
    expectFinding("sale-orphans", orphanUnp + "|Плащания без продажба");
    return;
  }
  const Item& it = items_[0];
  const LineAmounts a = lineAmounts(1000, it.netPrice, 0, it.vatBp);
  lines_->i(saleId).i(1).text(orphanUnp).i(dev.docNomer).date(me.day()).i(st.n).i(dev.n).i(user);
  lines_->i(it.n).text(it.code).text(it.name).qty(a.qty).money(a.unitPrice).money(a.discount).rate(it.vatBp).money(a.vat).money(a.cost);
  lines_->end();
  totLineCost_ += a.cost;
  totLineVat_ += a.vat;
  for (FilterRecord& f : filters_)
    if (f.match(me.day(), st.n, dev.n, user)) {
      ++f.counts[vDetails];
      f.sumCost += a.cost;
    }
  expectFinding("sale-orphans", orphanUnp + "|Редове без продажба");
  if (plant == Plant::OrphanReversal) {
    const Moment when{me.t + std::min<i64>(600, kDaySec - 1 - me.sec())};
    reversals_->i(saleId).date(when.day()).time(when.sec()).i(user).text("Върната стока");
    reversals_->end();
    log(when, user, kReverse, "Сторно на продажба за " + moneyText(a.cost) + " лв.", orphanUnp);
    totReversedCost_ += a.cost;
    countReversedLines(me, st.n, dev.n, user, 1);
    expectFinding("rev-orphan", orphanUnp);
  }
}

// A log entry of the night cashier a week before he was added.
void Generator::plantLogBeforeCreation() {
  for (const User& u : users_)
    if (u.notes == "Нощна смяна") {
      const Device* till = nullptr;
      for (const Device& d : devices_)
        if (d.store == u.store) {
          till = &d;
          break;
        }
      log(at(u.createDay - 7, 22 * 3600 + 15 * 60), u.n, kLogin, "Вход на каса " + (till ? till->serial : std::string()));
      return;
    }
  throw std::logic_error("no night cashier to plant a log entry of");
}

// The findings the model itself shows: log entries of operators not active that day (after
// the log's timestamps are made unique), and the items and partners changed after they
// were added.
void Generator::expectPeopleFindings() {
  for (const LogEntry& e : log_) {
    const User& u = userOf(e.user);
    const int day = e.when.day();
    if (day < u.createDay || (u.deactDay != kNone && day > u.deactDay)) {
      const Ymd c = civilFromDays(day);
      std::string moment = num(c.d, 2) + "." + num(c.m, 2) + "." + num(c.y, 4) + " ";
      appendTime(moment, e.when.sec());
      expectFinding("op-inactive", "Действие в дневника|" + e.unp + "|" + moment + "|" + std::to_string(e.user));
    }
  }
  for (const Item& it : items_)
    if (it.changeDay > it.createDay) expectFinding("masterdata-changed", "Артикул|" + it.code);
  for (const Partner& p : partners_)
    if (p.changeDay > p.createDay) expectFinding("masterdata-changed", "Партньор|" + p.bulstat);
}

// ---- users' log

void Generator::addAdminLog() {
  Rng r = stream(o_.seed, 5);
  const int admin = 1;
  auto office = [&](int day) { return at(day, 9 * 3600 + static_cast<int>(r.below(8 * 3600))); };
  for (const Item& it : items_) {
    if (it.createDay >= kFirstDay && it.createDay <= kLastDay)
      log(office(it.createDay), admin, kItemAdd, "Добавен артикул " + it.code);
    if (it.changeDay > it.createDay && it.changeDay >= kFirstDay && it.changeDay <= kLastDay)
      log(office(it.changeDay), admin, kItemChange, "Промяна на цена на артикул " + it.code);
  }
  for (const Partner& p : partners_)
    if (p.changeDay > p.createDay && p.changeDay >= kFirstDay && p.changeDay <= kLastDay)
      log(office(p.changeDay), admin, kPartnerChange, "Промяна на партньор с ЕИК " + p.bulstat);
  for (const User& u : users_) {
    if (u.n == admin) continue;
    if (u.createDay >= kFirstDay && u.createDay <= kLastDay)
      log(office(u.createDay), admin, kUserAdd, "Добавен потребител " + num(u.n, 4) + " " + u.name);
    if (u.deactDay != kNone && u.deactDay <= kLastDay)
      log(office(u.deactDay), admin, kUserDeactivate, "Деактивиран потребител " + num(u.n, 4));
    else if (u.changeDay > u.createDay && u.changeDay >= kFirstDay && u.changeDay <= kLastDay)
      log(office(u.changeDay), admin, kUserRights, "Права на потребител " + num(u.n, 4) + ": " + u.roles);
  }
}

void Generator::writeLog() {
  std::sort(log_.begin(), log_.end(), [](const LogEntry& a, const LogEntry& b) {
    return a.when.t != b.when.t ? a.when.t < b.when.t : a.seq < b.seq;
  });
  // Distinct timestamps, so that ordering by ActivityDateTime is total.
  for (size_t i = 1; i < log_.size(); ++i)
    if (log_[i].when.t <= log_[i - 1].when.t) log_[i].when.t = log_[i - 1].when.t + 1;
  TableFile t(o_.out, "UserLog");
  i64 id = 0;
  for (const LogEntry& e : log_) {
    t.i(++id).i(e.user).i(e.role).i(e.op).date(e.when.day()).stamp(e.when).text(e.text).textOrNull(e.unp);
    t.end();
    for (FilterRecord& f : filters_)
      if (f.period(e.when.day())) ++f.counts[vUsersLog];
  }
  t.close();
  tableRows_.push_back({t.name(), t.rows()});
}

// ---- expected.json

std::string jsonString(std::string_view s) {
  std::string o = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': o += "\\\""; break;
      case '\\': o += "\\\\"; break;
      case '\n': o += "\\n"; break;
      case '\r': o += "\\r"; break;
      case '\t': o += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          o += buf;
        } else {
          o.push_back(static_cast<char>(c));
        }
    }
  }
  return o + "\"";
}

std::string jsonDate(int day) { return day == kNone ? "null" : "\"" + dateText(day) + "\""; }

void Generator::writeExpected() {
  const i64 nomenclature[kViewCount] = {0, 0, 0, 0, 0,
                                        static_cast<i64>(items_.size()),
                                        static_cast<i64>(partners_.size()),
                                        static_cast<i64>(ops_.size()),
                                        static_cast<i64>(payTypes_.size()),
                                        static_cast<i64>(stores_.size()),
                                        static_cast<i64>(users_.size()), 0};
  std::string j = "{\n";
  j += "  \"generator\": \"auditor-demogen\",\n  \"format\": 1,\n";
  j += "  \"seed\": " + std::to_string(o_.seed) + ",\n  \"sales\": " + std::to_string(o_.sales) + ",\n";
  j += "  \"firstDate\": " + jsonDate(kFirstDay) + ",\n  \"lastDate\": " + jsonDate(kLastDay) + ",\n";
  j += "  \"filters\": [\n";
  for (size_t i = 0; i < filters_.size(); ++i) {
    FilterRecord& f = filters_[i];
    for (int v = vItems; v <= vUsers; ++v) f.counts[v] = nomenclature[v];
    j += "    {\"name\": " + jsonString(f.name) + ", \"note\": " + jsonString(f.note) + ",\n";
    j += "     \"FromDate\": " + jsonDate(f.from) + ", \"ToDate\": " + jsonDate(f.to);
    j += ", \"StoreN\": " + std::to_string(f.store) + ", \"FiscalDeviceN\": " + std::to_string(f.device);
    j += ", \"UserN\": " + std::to_string(f.user) + ",\n     \"counts\": {";
    for (int v = 0; v < kViewCount; ++v)
      j += std::string(v ? ", " : "") + "\"" + kViewNames[v] + "\": " + std::to_string(f.counts[v]);
    j += "},\n     \"sums\": {\"SalesSummaryAudit.TotalSumWithVAT\": \"" + moneyText(f.sumTotalWithVat) +
         "\", \"SalesDetailsAudit.CostSum\": \"" + moneyText(f.sumCost) + "\"}}";
    j += i + 1 < filters_.size() ? ",\n" : "\n";
  }
  j += "  ],\n  \"totals\": {\n";
  const std::pair<const char*, i64> totals[] = {
      {"SalesSummaryAudit.TotalSumWithVAT", totWithVat_},
      {"SalesSummaryAudit.TotalSumNoVat", totNoVat_},
      {"SalesSummaryAudit.SumVAT", totVat_},
      {"SalesSummaryAudit.SumDiscounts", totDiscounts_},
      {"SalesDetailsAudit.CostSum", totLineCost_},
      {"SalesDetailsAudit.VATSum", totLineVat_},
      {"SalesPaymentsAudit.TotalSumWithVAT", totPaid_},
      {"SalesReversedAudit.CostSum", totReversedCost_},
      {"SalesRevokedAudit.CostSum", totRevokedCost_},
  };
  for (size_t i = 0; i < std::size(totals); ++i)
    j += "    \"" + std::string(totals[i].first) + "\": \"" + moneyText(totals[i].second) + "\"" +
         (i + 1 < std::size(totals) ? ",\n" : "\n");
  j += "  },\n  \"facts\": {\"salesWithInvoice\": " + std::to_string(salesWithInvoice_) +
       ", \"reversedSales\": " + std::to_string(reversedSales_) +
       ", \"salesEndingAfterMidnight\": " + std::to_string(midnightSales_) + "},\n";
  j += "  \"tables\": {";
  for (size_t i = 0; i < tableRows_.size(); ++i)
    j += std::string(i ? ", " : "") + "\"" + tableRows_[i].first + "\": " + std::to_string(tableRows_[i].second);
  j += "},\n  \"specialTexts\": [\n";
  for (size_t i = 0; i < specialTexts_.size(); ++i)
    j += "    {\"column\": " + jsonString(specialTexts_[i].first) + ", \"value\": " + jsonString(specialTexts_[i].second) +
         "}" + (i + 1 < specialTexts_.size() ? ",\n" : "\n");
  j += "  ],\n  \"checks\": {\n";
  for (auto it = checkFindings_.begin(); it != checkFindings_.end(); ++it) {
    j += "    " + jsonString(it->first) + ": [";
    for (size_t i = 0; i < it->second.size(); ++i) j += std::string(i ? ", " : "") + jsonString(it->second[i]);
    j += std::next(it) == checkFindings_.end() ? "]\n" : "],\n";
  }
  j += "  },\n  \"checksWithParams\": {\n";
  for (auto it = checkFindingsWithParams_.begin(); it != checkFindingsWithParams_.end(); ++it) {
    j += "    " + jsonString(it->first) + ": [";
    for (size_t i = 0; i < it->second.size(); ++i) j += std::string(i ? ", " : "") + jsonString(it->second[i]);
    j += std::next(it) == checkFindingsWithParams_.end() ? "]\n" : "],\n";
  }
  j += "  }\n}\n";

  const fs::path p = o_.out / "expected.json";
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f || std::fwrite(j.data(), 1, j.size(), f) != j.size() || std::fclose(f) != 0)
    throw std::runtime_error("cannot write " + p.string());
}

void Generator::run() {
  fs::create_directories(o_.out);
  buildStores();
  buildUsers();
  buildItems();
  buildPartners();
  buildTypes();
  buildFilters();
  buildNumTimePlants();
  setUpPlants();
  writeNomenclatures();
  generateSales();
  addAdminLog();
  plantLogBeforeCreation();
  writeLog();
  expectPeopleFindings();
  writeExpected();
  if (o_.verbose) {
    for (const auto& [name, rows] : tableRows_) std::fprintf(stderr, "%-18s %12lld\n", name.c_str(), static_cast<long long>(rows));
  }
}

[[noreturn]] void usage(int code) {
  std::fprintf(code ? stderr : stdout,
               "usage: auditor-demogen [--sales N] [--seed S] [--out DIR] [--verbose]\n"
               "  --sales N   number of sales (default 5000)\n"
               "  --seed S    seed of the data (default 20261210)\n"
               "  --out DIR   output folder for the .tsv files and expected.json (default .)\n");
  std::exit(code);
}

u64 parseNumber(const char* s, const char* what) {
  u64 v = 0;
  const char* end = s + std::strlen(s);
  auto r = std::from_chars(s, end, v);
  if (r.ec != std::errc() || r.ptr != end) {
    std::fprintf(stderr, "auditor-demogen: bad %s: %s\n", what, s);
    usage(2);
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage(2);
      return argv[++i];
    };
    if (a == "--sales") o.sales = static_cast<i64>(parseNumber(value(), "number of sales"));
    else if (a == "--seed") o.seed = parseNumber(value(), "seed");
    else if (a == "--out") o.out = value();
    else if (a == "--verbose" || a == "-v") o.verbose = true;
    else if (a == "--help" || a == "-h") usage(0);
    else usage(2);
  }
  if (o.sales < 1 || o.sales > 100000000) {
    std::fprintf(stderr, "auditor-demogen: --sales must be between 1 and 100000000\n");
    return 2;
  }
  try {
    Generator(o).run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "auditor-demogen: %s\n", e.what());
    return 1;
  }
  return 0;
}
