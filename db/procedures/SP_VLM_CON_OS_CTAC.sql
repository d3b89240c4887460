-- params: Ordem_Servico_ID
-- Whether the order travels under transport documents (CTAC) of its containers.
-- An unknown order answers no row.
SELECT os.FLAG_CTAC AS flag_ctac_os
  FROM ORDEM_SERVICO os
 WHERE os.ORDEM_SERVICO_ID = :Ordem_Servico_ID;
