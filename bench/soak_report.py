"""The soak's report: every figure of the three runs, then the verdicts."""

import os

import soak_run
from harness import winehost

SAVED_ROLES = 3      # the user's pointers kept for the restore
IN_FLIGHT = 1        # one install between its CopyIcon and its DestroyIcon
ROLE_NAMES = {"all": "normal, app-starting, wait", "normal": "normal",
              "busy": "app-starting, wait", "none": "none (ticks only)"}


def rotating_roles(args):
    normal, busy = soak_run.ROLE_CHOICES[args.roles]
    return normal + 2 * busy


def line(label, text):
    print("  %-28s %s" % (label, text))


def fmt(value, spec="%.3f"):
    return "-" if value is None else spec % value


def tick_lines(t):
    line("ticks", "%d (%s per s; a 1 ms interval asks 1000 per s)"
         % (t["ticks"], fmt(t.get("ticks_per_s"), "%.1f")))
    line("tick spacing", "median %s ms, 95%% %s ms, max %s ms"
         % (fmt(t.get("gap_median_ms"), "%.1f"), fmt(t.get("gap_p95_ms"),
            "%.1f"), fmt(t.get("gap_max_ms"), "%.1f")))
    line("installs", "%d (%s per s): %s" % (
        t["installs"], fmt(t.get("installs_per_s"), "%.1f"),
        ", ".join("%s %d" % kv for kv in t["installs_by_role"].items())))


def copies_section(cp, results):
    e, a, c = cp["at_end"], cp["after_exit"], cp["at_end"]["counts"]
    print("Copies (relay window of %gs, mouse moving: %s)" % (
        cp["window_s"], "yes" if cp["mover_ran_throughout"] else "NO"))
    tick_lines(cp["ticks"])
    line("CPU Tarnwick.exe, relayed", "%.3f s per s; machine load %.2f then "
         "%.2f" % ((cp["cpu_s_per_s_with_relay"],) + tuple(cp["load"])))
    line("copies made", "%d (captures %d, resaves %d, installs %d, other %d;"
         " CopyImage %d, CopyIcon %d)" % (
             c["made"], c["capture"], c["resave"], c["install"], c["other"],
             c["by_CopyImage"], c["by_CopyIcon"]))
    line("copies destroyed", "%d (DestroyCursor %d, DestroyIcon %d; after "
         "SetSystemCursor had them %d; by the call not meant for their kind"
         " %d)" % (c["destroyed"], c["by_DestroyCursor"], c["by_DestroyIcon"],
                   c["destroy_after_handover"], c["other_way"]))
    line("handed to SetSystemCursor", "%d" % c["handed"])
    line("held at window end", "%d (saved user pointers %d, install in "
         "flight %d, other %d); made - destroyed = %d" % (
             e["held"], e["held_saved"], e["held_install"], e["held_other"],
             c["made"] - c["destroyed"]))
    line("owned at window end", "%d (held, never handed to SetSystemCursor)"
         % e["owned"])
    line("other handles destroyed", "%d slices of replaced sets, %d others"
         % (c["destroy_slice"], c["destroy_unknown"]))
    odd = {k: c[k] for k in ("copy_failed", "destroy_failed", "set_unknown",
                             "reused_live") if c[k]}
    line("anomalies", str(odd or "none"))
    results.append((
        "copies held at window end <= %d saved + %d in flight"
        % (SAVED_ROLES, IN_FLIGHT),
        e["held_saved"] <= SAVED_ROLES and
        e["held_install"] + e["held_other"] <= IN_FLIGHT and
        not c["destroy_failed"] and not c["reused_live"] and
        cp["ticks"]["not_destroyed_straight_after"] <= IN_FLIGHT))
    line("after Exit (code %s)" % cp["exit_code"], "restores %s; held %d "
         "(saved %d, installs %d, other %d), owned %d" % (
             a["restores"], a["held"], a["held_saved"], a["held_install"],
             a["held_other"], a["owned"]))
    return a


def watcher_section(cp, results):
    w = cp["watcher"]
    line("pointer watcher", "started %d time(s)%s%s; gone %s after Exit; "
         "scheme reloads %s" % (
             w["started"], "" if w["started_ok"] else " (FAILED)",
             ", before the first capture" if w["before_first_capture"]
             else ", NOT before the first capture",
             fmt(w["gone_after_exit_s"], "%.2f s"),
             w["scheme_reloads"] if w["seen_in_log"]
             else "unknown (its process is not in the log)"))
    if cp["exit_code"] is not None:
        results.append(("the watcher started once, before the first capture,"
                        " and ended after Exit touching nothing",
                        w["started"] == 1 and w["started_ok"] and
                        w["before_first_capture"] and
                        w["gone_after_exit_s"] is not None and
                        w["seen_in_log"] and not w["scheme_reloads"]))


def rate_section(r):
    print("Install rate (only SetSystemCursor relayed, window of %gs, mouse "
          "moving: %s)" % (r["window_s"],
                           "yes" if r["mover_ran_throughout"] else "NO"))
    tick_lines(r)
    if r.get("gap_median_ms"):
        line("reached vs asked", "one tick every %.1f ms (median) where 1 ms "
             "was asked: %.0f%% of the asked rate"
             % (r["gap_median_ms"], 100 * (r.get("ticks_per_s") or 0) / 1000))
    line("CPU Tarnwick.exe", "%.3f s per s; machine load %.2f then %.2f"
         % ((r["cpu_s_per_s"],) + tuple(r["load"])))


def memory_section(m, args, results):
    print("Memory and CPU (no relay, %g min, a sample every %gs, mouse "
          "moving: %s, exit code %s)" % (
              m["minutes"], m["sample_s"],
              "yes" if m["mover_ran_throughout"] else "NO", m["exit_code"]))
    line("VmRSS first sample", "%d KiB" % m["rss_first_kib"])
    line("VmRSS warm-up (t=%.0fs)" % m["warmup_s"], "%d KiB" % m["rss_warm_kib"])
    line("VmRSS final (t=%.0fs)" % m["wall_s"], "%d KiB" % m["rss_final_kib"])
    line("growth after warm-up", "%+d KiB (min %d, max %d KiB after warm-up)"
         % (m["rss_growth_kib"], m["rss_min_after_warm_kib"],
            m["rss_max_after_warm_kib"]))
    if m["rss_trend_kib_per_min"] is not None:
        line("trend after warm-up", "%+.1f KiB per min (%+.0f KiB per 10 min)"
             % (m["rss_trend_kib_per_min"], m["rss_trend_kib_per_min"] * 10))
    line("RssAnon warm-up / final", "%s / %s KiB" % (m["anon_warm_kib"],
                                                     m["anon_final_kib"]))
    line("VmHWM final; threads", "%s KiB; %s" % (m["hwm_final_kib"],
                                                 m["threads"]))
    line("watcher VmRSS warm / final", "%s / %s KiB%s" % (
        m["watcher_rss_warm_kib"], m["watcher_rss_final_kib"],
        "" if m["watcher_found"] else " (no watcher found)"))
    line("wineserver VmRSS warm/final", "%s / %s KiB" % (
        m["server_rss_warm_kib"], m["server_rss_final_kib"]))
    line("CPU Tarnwick.exe", "%s s per s (intervals %s to %s)" % (
        fmt(m["cpu_s_per_s"]), fmt(m["cpu_interval_min"]),
        fmt(m["cpu_interval_max"])))
    line("CPU wineserver", "%s s per s" % fmt(m["server_cpu_s_per_s"]))
    line("CPU Tarnwick.exe + server", "%s s per s" % fmt(
        m["cpu_s_per_s"] + (m["server_cpu_s_per_s"] or 0)))
    line("CPU watcher", "%s s per s" % fmt(m["watcher_cpu_s_per_s"]))
    line("CPU rest of the prefix", "%s s per s (explorer, services, ...)"
         % fmt(m["rest_cpu_s_per_s"]))
    line("voluntary context switches", "%s per s (Tarnwick.exe)"
         % fmt(m["ctxsw_per_s"], "%.0f"))
    line("machine load (1 min avg)", "%.2f to %.2f on %d cores"
         % (m["load_min"], m["load_max"], os.cpu_count()))
    results.append(("VmRSS growth after warm-up <= %d KiB" % args.rss_goal_kib,
                    m["rss_growth_kib"] <= args.rss_goal_kib))
    if args.cpu_goal is not None:
        total = m["cpu_s_per_s"] + (m["server_cpu_s_per_s"] or 0)
        results.append(("CPU (Tarnwick.exe + wineserver) <= %g s per s"
                        % args.cpu_goal, total <= args.cpu_goal))


def report(runs, args, repo):
    exe = os.path.relpath(args.exe, repo) if args.exe.startswith(repo) \
        else args.exe
    print()
    print("=" * 72)
    print("Tarnwick soak: %s under %s, tick 1 ms asked, roles: %s"
          % (exe, winehost.wine_version(), ROLE_NAMES[args.roles]))
    print("=" * 72)
    results = []
    if runs.get("copies"):
        cp = runs["copies"]
        a = copies_section(cp, results)
        if cp["exit_code"] is not None:
            want = rotating_roles(args)
            results.append((
                "Exit hands back the %d saved copies of the rotated roles "
                "and keeps no copy of its own" % want,
                a["restores_of_saved"] == want == len(a["restores"]) and
                a["held_install"] == 0 and a["owned"] == 0))
        watcher_section(cp, results)
        print()
    if runs.get("rate"):
        rate_section(runs["rate"])
        print()
    if runs.get("memory"):
        memory_section(runs["memory"], args, results)
        print()
    for what, ok in results:
        print("  %s  %s" % ("PASS" if ok else "FAIL", what))
    print("=" * 72)
    return all(ok for _, ok in results)
