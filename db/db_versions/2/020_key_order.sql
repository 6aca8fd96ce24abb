-- The highest key of a table, where a walk through it in key order ends or
-- a walk in descending order starts: MAX(PK) reads the table whole unless a
-- descending index gives it at once (Firebird walks an index in one
-- direction only).
CREATE DESCENDING INDEX osk_secured_object_pk_desc ON osk_secured_object (PK);
CREATE DESCENDING INDEX osk_domain_mships_pk_desc ON osk_domain_mships (PK);
CREATE DESCENDING INDEX osk_domain_id_pk_desc ON osk_domain_id (PK);
CREATE DESCENDING INDEX osk_domain_mships_links_pk_desc ON osk_domain_mships_links (PK);
CREATE DESCENDING INDEX osk_domain_name_id_pk_desc ON osk_domain_name_id (PK);
CREATE DESCENDING INDEX osk_domains_pk_desc ON osk_domains (PK);
CREATE DESCENDING INDEX osk_domain_groups_pk_desc ON osk_domain_groups (PK);
CREATE DESCENDING INDEX osk_bi_domgrp_links_pk_desc ON osk_bi_domgrp_links (PK);
CREATE DESCENDING INDEX osk_accounts_pk_desc ON osk_accounts (PK);
CREATE DESCENDING INDEX osk_user_accounts_pk_desc ON osk_user_accounts (PK);
CREATE DESCENDING INDEX osk_access_control_pk_desc ON osk_access_control (PK);
CREATE DESCENDING INDEX osk_user_access_control_pk_desc ON osk_user_access_control (PK);
CREATE DESCENDING INDEX osk_roles_pk_desc ON osk_roles (PK);
CREATE DESCENDING INDEX osk_capability_pk_desc ON osk_capability (PK);
CREATE DESCENDING INDEX osk_role_links_pk_desc ON osk_role_links (PK);
CREATE DESCENDING INDEX osk_keyvalues_pk_desc ON osk_keyvalues (PK);
CREATE DESCENDING INDEX osk_sql_query_pk_desc ON osk_sql_query (PK);
CREATE DESCENDING INDEX osk_sql_arg_pk_desc ON osk_sql_arg (PK);
CREATE DESCENDING INDEX osk_sql_target_pk_desc ON osk_sql_target (PK);
CREATE DESCENDING INDEX osk_sql_arg_links_pk_desc ON osk_sql_arg_links (PK);
CREATE DESCENDING INDEX osk_sql_target_links_pk_desc ON osk_sql_target_links (PK);
CREATE DESCENDING INDEX osk_query_groups_pk_desc ON osk_query_groups (PK);
CREATE DESCENDING INDEX osk_query_grp_links_pk_desc ON osk_query_grp_links (PK);
CREATE DESCENDING INDEX osk_snmp_query_pk_desc ON osk_snmp_query (PK);
CREATE DESCENDING INDEX osk_snmp_groups_pk_desc ON osk_snmp_groups (PK);
CREATE DESCENDING INDEX osk_snmp_grp_links_pk_desc ON osk_snmp_grp_links (PK);
CREATE DESCENDING INDEX tftp_policy_pk_desc ON tftp_policy (PK);
CREATE DESCENDING INDEX osk_address_pk_desc ON osk_address (PK);
-- The highest address (abinding.maxaddr), likewise.
CREATE DESCENDING INDEX osk_address_key_desc ON osk_address (ADDRESS_KEY);
