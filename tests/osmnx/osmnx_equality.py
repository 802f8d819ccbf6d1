#!/usr/bin/env python3
"""Street statistics of veltmoor against OSMnx's basic_stats and orientation_entropy.

Grows seeded towns with veltmoor-batch (run --analyse --geo), reads the network.gpkg it
wrote into an OSMnx graph of two-way streets, and compares every statistic OSMnx computes
with measures.json's StreetNetwork object, to 1e-9 relative.

Usage: osmnx_equality.py VELTMOOR_BATCH
Exit 0: equal; 1: a difference (printed); 77: OSMnx is not installed (skipped).
"""
import json
import math
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import geopandas as gpd
    import networkx as nx
    import numpy as np
    import osmnx as ox
except ImportError as error:  # the package python3-osmnx is optional
    print(f"skipped: {error}")
    sys.exit(77)

TOWNS = [
    ["run", "--field-type", "boom", "--steps", "200", "--seed", "7"],
    ["run", "--field-type", "interlink", "--steps", "150", "--seed", "4"],
    ["run", "--field-type", "network", "--steps", "120", "--seed", "5", "--width", "480",
     "--height", "480"],
]
RELATIVE = 1e-9


def osmnx_graph(gpkg):
    """The streets as OSMnx models a town of two-way streets: each one an edge both ways."""
    nodes = gpd.read_file(gpkg, layer="nodes")
    streets = gpd.read_file(gpkg, layer="streets")
    graph = nx.MultiDiGraph()
    for node in nodes.itertuples():
        graph.add_node(int(node.NodeId), x=node.geometry.x, y=node.geometry.y)
    for number, street in enumerate(streets.itertuples()):
        u, v = int(street.FromNode), int(street.ToNode)
        line = street.geometry
        data = {"osmid": number, "length": float(street.TracedLength)}
        key = graph.add_edge(u, v, geometry=line, **data)
        graph.add_edge(v, u, key=key, geometry=type(line)(line.coords[::-1]), **data)
    # OSMnx only asks whether the system is projected, to measure straight lines in the
    # plane; veltmoor's local planes and UTM alike are.
    graph.graph["crs"] = "epsg:32633"
    nx.set_node_attributes(graph, ox.stats.count_streets_per_node(graph), "street_count")
    return graph


def planar_entropy(graph):
    """orientation_entropy with bearings taken in the plane. OSMnx's add_edge_bearings
    only takes unprojected graphs (geodesic bearings); these are its rounded bearings
    measured on the map instead, and the graph is labelled unprojected for the call."""
    undirected = ox.get_undirected(graph)
    for u, v, data in undirected.edges(data=True):
        dx = undirected.nodes[v]["x"] - undirected.nodes[u]["x"]
        dy = undirected.nodes[v]["y"] - undirected.nodes[u]["y"]
        data["bearing"] = round(float(np.degrees(np.arctan2(dx, dy)) % 360), 1)
    undirected.graph["crs"] = "epsg:4326"
    return ox.bearing.orientation_entropy(undirected)


def differences(ours, theirs, name):
    if isinstance(theirs, dict):
        found = []
        for key, value in theirs.items():
            found += differences(ours.get(str(key)), value, f"{name}.{key}")
        return found
    if ours is None or theirs is None:
        return [] if ours is None and theirs is None else [f"{name}: ours {ours}, OSMnx {theirs}"]
    scale = max(abs(theirs), abs(ours), 1e-300)
    if abs(ours - theirs) > RELATIVE * scale:
        return [f"{name}: ours {ours!r}, OSMnx {theirs!r}"]
    return []


def compare(batch, town, folder):
    subprocess.run([batch, *town, "--analyse", "--geo", "--no-picture", "--out", str(folder)],
                   check=True, stderr=subprocess.DEVNULL)
    ours = json.loads((folder / "measures.json").read_text())["StreetNetwork"]
    graph = osmnx_graph(folder / "network.gpkg")
    theirs = ox.basic_stats(graph, area=ours["Area_m2"])
    theirs["orientation_entropy"] = planar_entropy(graph)
    found = []
    for name, value in theirs.items():
        found += differences(ours.get(name), value, name)
    return found, theirs


def main():
    batch = sys.argv[1]
    failed = False
    with tempfile.TemporaryDirectory() as scratch:
        for number, town in enumerate(TOWNS):
            found, theirs = compare(batch, town, Path(scratch) / f"town{number}")
            print(f"{' '.join(town)}: n {theirs['n']}, m {theirs['m']}, "
                  f"{len(theirs)} statistics compared, {len(found)} differ")
            for line in found:
                print("  " + line)
            failed = failed or bool(found) or not math.isfinite(theirs["circuity_avg"])
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
