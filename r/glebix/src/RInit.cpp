// The entry points that the R functions call with .Call.
#include <R.h>
#include <R_ext/Rdynload.h>
#include <R_ext/Visibility.h>
#include <Rinternals.h>

extern "C" {
SEXP gx_settings_table();
SEXP gx_check_settings(SEXP, SEXP);
SEXP gx_format_reals(SEXP);
SEXP gx_new(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_setup(SEXP);
SEXP gx_step(SEXP, SEXP);
SEXP gx_density(SEXP);
SEXP gx_shares(SEXP, SEXP);
SEXP gx_trace(SEXP);
SEXP gx_write_result_file(SEXP, SEXP);
SEXP gx_info(SEXP);
SEXP gx_stop_when(SEXP, SEXP);
SEXP gx_check_stop_rules(SEXP);
SEXP gx_setting_values(SEXP);
SEXP gx_run_many(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_replicate_seed(SEXP, SEXP);
SEXP gx_study_runs(SEXP, SEXP);
SEXP gx_task_threads(SEXP);
SEXP gx_write_asc(SEXP, SEXP);
SEXP gx_write_tif(SEXP, SEXP);
SEXP gx_write_netcdf(SEXP, SEXP);
SEXP gx_record(SEXP, SEXP, SEXP, SEXP);
SEXP gx_deflate_level(SEXP, SEXP, SEXP);
SEXP gx_map_settings(SEXP);
SEXP gx_extension_settings();
SEXP gx_georeference(SEXP);
SEXP gx_threads_bound(SEXP, SEXP);
SEXP gx_run_warnings(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_save_state(SEXP, SEXP);
SEXP gx_resume(SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_unknown_setting(SEXP);
SEXP gx_animate(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_end_animation(SEXP);
SEXP gx_catalogue_message(SEXP, SEXP);
SEXP gx_sample(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_analyse(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_calibrate(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP,
                  SEXP, SEXP);
SEXP gx_calibration_run(SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP gx_is_recorded_metric(SEXP);
SEXP gx_table_steps_kept(SEXP, SEXP, SEXP);
void gx_name_missing_folders();

static const R_CallMethodDef CallEntries[] = {
    {"gx_settings_table", (DL_FUNC)&gx_settings_table, 0},
    {"gx_check_settings", (DL_FUNC)&gx_check_settings, 2},
    {"gx_format_reals", (DL_FUNC)&gx_format_reals, 1},
    {"gx_new", (DL_FUNC)&gx_new, 7},
    {"gx_setup", (DL_FUNC)&gx_setup, 1},
    {"gx_step", (DL_FUNC)&gx_step, 2},
    {"gx_density", (DL_FUNC)&gx_density, 1},
    {"gx_shares", (DL_FUNC)&gx_shares, 2},
    {"gx_trace", (DL_FUNC)&gx_trace, 1},
    {"gx_write_result_file", (DL_FUNC)&gx_write_result_file, 2},
    {"gx_info", (DL_FUNC)&gx_info, 1},
    {"gx_stop_when", (DL_FUNC)&gx_stop_when, 2},
    {"gx_check_stop_rules", (DL_FUNC)&gx_check_stop_rules, 1},
    {"gx_setting_values", (DL_FUNC)&gx_setting_values, 1},
    {"gx_run_many", (DL_FUNC)&gx_run_many, 17},
    {"gx_replicate_seed", (DL_FUNC)&gx_replicate_seed, 2},
    {"gx_study_runs", (DL_FUNC)&gx_study_runs, 2},
    {"gx_task_threads", (DL_FUNC)&gx_task_threads, 1},
    {"gx_write_asc", (DL_FUNC)&gx_write_asc, 2},
    {"gx_write_tif", (DL_FUNC)&gx_write_tif, 2},
    {"gx_write_netcdf", (DL_FUNC)&gx_write_netcdf, 2},
    {"gx_record", (DL_FUNC)&gx_record, 4},
    {"gx_deflate_level", (DL_FUNC)&gx_deflate_level, 3},
    {"gx_map_settings", (DL_FUNC)&gx_map_settings, 1},
    {"gx_extension_settings", (DL_FUNC)&gx_extension_settings, 0},
    {"gx_georeference", (DL_FUNC)&gx_georeference, 1},
    {"gx_threads_bound", (DL_FUNC)&gx_threads_bound, 2},
    {"gx_run_warnings", (DL_FUNC)&gx_run_warnings, 6},
    {"gx_save_state", (DL_FUNC)&gx_save_state, 2},
    {"gx_resume", (DL_FUNC)&gx_resume, 5},
    {"gx_unknown_setting", (DL_FUNC)&gx_unknown_setting, 1},
    {"gx_animate", (DL_FUNC)&gx_animate, 6},
    {"gx_end_animation", (DL_FUNC)&gx_end_animation, 1},
    {"gx_catalogue_message", (DL_FUNC)&gx_catalogue_message, 2},
    {"gx_sample", (DL_FUNC)&gx_sample, 8},
    {"gx_analyse", (DL_FUNC)&gx_analyse, 13},
    {"gx_calibrate", (DL_FUNC)&gx_calibrate, 19},
    {"gx_calibration_run", (DL_FUNC)&gx_calibration_run, 11},
    {"gx_is_recorded_metric", (DL_FUNC)&gx_is_recorded_metric, 1},
    {"gx_table_steps_kept", (DL_FUNC)&gx_table_steps_kept, 3},
    {nullptr, nullptr, 0},
};

void attribute_visible R_init_glebix(DllInfo *dll) {
    R_registerRoutines(dll, nullptr, CallEntries, nullptr, nullptr);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
    gx_name_missing_folders();
}
}
