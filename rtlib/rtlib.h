/* rtlib: the run-time library of record-oriented numeric console programs.
 *
 * A program defines program_main() and links against rtlib_main, which starts the
 * library, calls program_main and ends the process through the library's exit routine.
 * Each READ or WRITE is one begin call, one call per item and one end call; every call
 * returns the statement status (0, -1 end of file, -2 end of record, or an error number
 * when the statement asked for its errors).
 */
#ifndef RTLIB_RTLIB_H
#define RTLIB_RTLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DEFAULT_INPUT_UNIT (-33000)
#define DEFAULT_OUTPUT_UNIT (-34000)
#define INTERNAL_UNIT (-37000)
#define NO_UNIT INT32_MIN

/* The program's own main routine; its result is the process exit status. */
int program_main(void);

/* Statements. */
int32_t io_write_begin(int32_t unit, const char* fmt, int32_t fmt_len, const char* adv,
                       int32_t adv_len, int32_t flags);
int32_t io_read_begin(int32_t unit, const char* fmt, int32_t fmt_len, const char* adv,
                      int32_t adv_len, int32_t* size_var, int32_t flags);
int32_t io_write_end(void);
int32_t io_read_end(void);

/* Output items: the plain entries for list-directed statements, _f for formatted ones. */
int32_t io_out_i1(int8_t value);
int32_t io_out_i2(int16_t value);
int32_t io_out_i4(int32_t value);
int32_t io_out_l1(int8_t value);
int32_t io_out_l2(int16_t value);
int32_t io_out_l4(int32_t value);
int32_t io_out_r4(float value);
int32_t io_out_r8(double value);
int32_t io_out_c8(float re, float im);
int32_t io_out_c16(double re, double im);
int32_t io_out_char(const char* text, int32_t len);
int32_t io_out_chars(const char* text, int32_t len);
int32_t io_out_i1_f(int8_t value);
int32_t io_out_i2_f(int16_t value);
int32_t io_out_i4_f(int32_t value);
int32_t io_out_l1_f(int8_t value);
int32_t io_out_l2_f(int16_t value);
int32_t io_out_l4_f(int32_t value);
int32_t io_out_r4_f(float value);
int32_t io_out_r8_f(double value);
int32_t io_out_c8_f(float re, float im);
int32_t io_out_c16_f(double re, double im);
int32_t io_out_char_f(const char* text, int32_t len);
int32_t io_out_chars_f(const char* text, int32_t len);

/* Input items: each call transfers its variable before it returns. */
int32_t io_in_i1(int8_t* var);
int32_t io_in_i2(int16_t* var);
int32_t io_in_i4(int32_t* var);
int32_t io_in_l1(int8_t* var);
int32_t io_in_l2(int16_t* var);
int32_t io_in_l4(int32_t* var);
int32_t io_in_r4(float* var);
int32_t io_in_r8(double* var);
int32_t io_in_c8(float* two_parts);
int32_t io_in_c16(double* two_parts);
int32_t io_in_char(char* text, int32_t len);
int32_t io_in_i1_f(int8_t* var);
int32_t io_in_i2_f(int16_t* var);
int32_t io_in_i4_f(int32_t* var);
int32_t io_in_l1_f(int8_t* var);
int32_t io_in_l2_f(int16_t* var);
int32_t io_in_l4_f(int32_t* var);
int32_t io_in_r4_f(float* var);
int32_t io_in_r8_f(double* var);
int32_t io_in_c8_f(float* two_parts);
int32_t io_in_c16_f(double* two_parts);
int32_t io_in_char_f(char* text, int32_t len);

/* Intrinsics: the argument(s) and the result in extended precision. A math error
 * (DOMAIN, SING, OVERFLOW) is reported and ends the program. */
long double math_pow(long double x, long double y); /* x**y */
long double math_sqrt(long double x);              /* SQRT */

#ifdef __cplusplus
}
#endif

#endif /* RTLIB_RTLIB_H */
